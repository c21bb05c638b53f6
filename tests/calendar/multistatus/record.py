#!/usr/bin/python3
"""Records the multi-status replies of the golden folder beside this script.

Starts Radicale and Xandikos (`scripts/setup` installs both) on free loopback ports,
gives each a few calendars, sends the requests the CalDAV store sends while it discovers the
user's calendars (and one REPORT, as a calendar client syncs), and writes every reply body to
SERVER-STEP.xml here. The expected .json files are not written: run calendar_caldav_tests, read
each NAME.fail it writes and copy it over NAME.json once it is right. The other replies here are
written by hand and kept as they are.
"""

import base64
import http.client
import os
import socket
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
AUTH = {"Authorization": "Basic " + base64.b64encode(b"alice:pw").decode()}
XML = {"Content-Type": "application/xml; charset=utf-8"}
NAMESPACES = ('xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav" '
              'xmlns:a="http://apple.com/ns/ical/"')
EVENT = """BEGIN:VCALENDAR\r
VERSION:2.0\r
PRODID:-//recording//EN\r
BEGIN:VEVENT\r
UID:review-1\r
DTSTAMP:20260301T080000Z\r
DTSTART:20260302T070000Z\r
DTEND:20260302T080000Z\r
SUMMARY:项目评审 & plan <draft>\r
END:VEVENT\r
END:VCALENDAR\r
"""


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def request(port, verb, path, body="", headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request(verb, path, body.encode(), {**AUTH, **(headers or {})})
    reply = connection.getresponse()
    data = reply.read()
    connection.close()
    return reply.status, data


def wait_until_up(port, process):
    for _ in range(150):
        if process.poll() is not None:
            raise SystemExit("the server ended at start")
        try:
            request(port, "OPTIONS", "/")
            return
        except OSError:
            time.sleep(0.1)
    raise SystemExit("the server did not answer")


def make_calendar(port, path, name, color=None, component="VEVENT"):
    props = (f"<d:displayname>{name}</d:displayname><c:supported-calendar-component-set>"
             f'<c:comp name="{component}"/></c:supported-calendar-component-set>')
    if color:
        props += f"<a:calendar-color>{color}</a:calendar-color>"
    body = f'<?xml version="1.0" encoding="utf-8"?><c:mkcalendar {NAMESPACES}><d:set><d:prop>'
    status, _ = request(port, "MKCALENDAR", path, body + props + "</d:prop></d:set></c:mkcalendar>",
                        XML)
    if status != 201:
        raise SystemExit(f"MKCALENDAR {path}: {status}")


def propfind(port, path, depth, properties):
    # The body the CalDAV store sends.
    body = (f'<?xml version="1.0" encoding="utf-8"?><d:propfind {NAMESPACES}><d:prop>'
            f"{properties}</d:prop></d:propfind>")
    return request(port, "PROPFIND", path, body, {**XML, "Depth": depth})


def record(server, port, principal, home):
    make_calendar(port, home + "work/", "Work", "#FF7F00FF")
    make_calendar(port, home + "home/", "家")
    make_calendar(port, home + "tasks/", "Tasks", component="VTODO")
    status, _ = request(port, "PUT", home + "work/review-1.ics", EVENT,
                        {"Content-Type": "text/calendar; charset=utf-8", "If-None-Match": "*"})
    if status not in (201, 204):
        raise SystemExit(f"PUT: {status}")
    members = ("<d:resourcetype/><d:displayname/><a:calendar-color/>"
               "<d:current-user-privilege-set/><c:supported-calendar-component-set/>")
    query = (f'<?xml version="1.0" encoding="utf-8"?><c:calendar-query {NAMESPACES}><d:prop>'
             "<d:getetag/><c:calendar-data/></d:prop><c:filter><c:comp-filter name=\"VCALENDAR\">"
             '<c:comp-filter name="VEVENT"/></c:comp-filter></c:filter></c:calendar-query>')
    steps = {
        "principal": propfind(port, "/", "0", "<d:current-user-principal/>"),
        "home-set": propfind(port, principal, "0", "<c:calendar-home-set/>"),
        "calendars": propfind(port, home, "1", members),
        "report": request(port, "REPORT", home + "work/", query, {**XML, "Depth": "1"}),
    }
    for step, (status, body) in steps.items():
        if status != 207:
            raise SystemExit(f"{server} {step}: {status}")
        with open(os.path.join(HERE, f"{server}-{step}.xml"), "wb") as out:
            out.write(body)


def run(server, command, port, principal, home):
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_until_up(port, process)
        record(server, port, principal, home)
    finally:
        process.terminate()
        process.wait(10)


def main():
    with tempfile.TemporaryDirectory() as folder:
        port = free_port()
        config = os.path.join(folder, "radicale.conf")
        with open(config, "w") as out:
            out.write(f"[server]\nhosts = 127.0.0.1:{port}\n[auth]\ntype = none\n"
                      f"[storage]\nfilesystem_folder = {folder}/radicale\n"
                      "[logging]\nlevel = error\n")
        run("radicale", ["/usr/bin/radicale", "--config", config], port, "/alice/", "/alice/")
        port = free_port()
        run("xandikos", ["/usr/bin/xandikos", "-d", f"{folder}/xandikos", "--defaults",
                         "-l", "127.0.0.1", "-p", str(port), "--current-user-principal",
                         "/alice/"], port, "/alice/", "/alice/calendars/")


main()
