#!/usr/bin/python3
"""Records Radicale's and Xandikos's replies to the requests the CalDAV store sends while it
discovers alice's calendars (and one REPORT, as a client syncs) as SERVER-STEP.xml beside this
script. Run calendar_caldav_tests and copy each NAME.json.fail it writes over NAME.json once it is
right. The other replies here are written by hand."""

import base64, http.client, os, socket, subprocess, tempfile, time

HERE = os.path.dirname(os.path.abspath(__file__))
NS = 'xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav" xmlns:a="http://apple.com/ns/ical/"'
XML = '<?xml version="1.0" encoding="utf-8"?>'
EVENT = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//recording//EN\r\nBEGIN:VEVENT\r\n"
         "UID:review-1\r\nDTSTAMP:20260301T080000Z\r\nDTSTART:20260302T070000Z\r\n"
         "DTEND:20260302T080000Z\r\nSUMMARY:项目评审 & plan <draft>\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n")


def request(port, verb, path, body="", headers=None, kind="application/xml"):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request(verb, path, body.encode(), {
        "Authorization": "Basic " + base64.b64encode(b"alice:pw").decode(),
        "Content-Type": kind + "; charset=utf-8", **(headers or {})})
    reply = connection.getresponse()
    return reply.status, reply.read()


def record(server, command, port, principal, home):
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(150):  # until it answers
            try:
                request(port, "OPTIONS", "/")
                break
            except OSError:
                time.sleep(0.1)
        colour = "<a:calendar-color>#FF7F00FF</a:calendar-color>"
        for name, title, extra in [("work", "Work", colour), ("home", "家", ""),
                                   ("tasks", "Tasks", "")]:
            component = "VTODO" if name == "tasks" else "VEVENT"
            body = (f"{XML}<c:mkcalendar {NS}><d:set><d:prop><d:displayname>{title}</d:displayname>"
                    f'<c:supported-calendar-component-set><c:comp name="{component}"/>'
                    f"</c:supported-calendar-component-set>{extra}</d:prop></d:set></c:mkcalendar>")
            assert request(port, "MKCALENDAR", f"{home}{name}/", body)[0] == 201, name
        assert request(port, "PUT", home + "work/review-1.ics", EVENT, {"If-None-Match": "*"},
                       "text/calendar")[0] in (201, 204)
        find = lambda path, depth, props: request(
            port, "PROPFIND", path, f"{XML}<d:propfind {NS}><d:prop>{props}</d:prop></d:propfind>",
            {"Depth": depth})
        query = (f"{XML}<c:calendar-query {NS}><d:prop><d:getetag/><c:calendar-data/></d:prop>"
                 '<c:filter><c:comp-filter name="VCALENDAR"><c:comp-filter name="VEVENT"/>'
                 "</c:comp-filter></c:filter></c:calendar-query>")
        steps = {
            "principal": find("/", "0", "<d:current-user-principal/>"),
            "home-set": find(principal, "0", "<c:calendar-home-set/>"),
            "calendars": find(home, "1", "<d:resourcetype/><d:displayname/><a:calendar-color/>"
                              "<d:current-user-privilege-set/>"
                              "<c:supported-calendar-component-set/>"),
            "report": request(port, "REPORT", home + "work/", query, {"Depth": "1"}),
        }
        for step, (status, body) in steps.items():
            assert status == 207, f"{server} {step}: {status}"
            with open(os.path.join(HERE, f"{server}-{step}.xml"), "wb") as out:
                out.write(body)
    finally:
        process.terminate()
        process.wait(10)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


with tempfile.TemporaryDirectory() as folder:
    port = free_port()
    with open(os.path.join(folder, "radicale.conf"), "w") as out:
        out.write(f"[server]\nhosts = 127.0.0.1:{port}\n[auth]\ntype = none\n[storage]\n"
                  f"filesystem_folder = {folder}/radicale\n[logging]\nlevel = error\n")
    record("radicale", ["/usr/bin/radicale", "--config", f"{folder}/radicale.conf"], port,
           "/alice/", "/alice/")
    port = free_port()
    record("xandikos", ["/usr/bin/xandikos", "-d", f"{folder}/xandikos", "--defaults", "-l",
                        "127.0.0.1", "-p", str(port), "--current-user-principal", "/alice/"],
           port, "/alice/", "/alice/calendars/")
