#!/usr/bin/env python3
"""A loopback stand-in for a chat-completions model server.

Listens on 127.0.0.1 on a free port and prints that port on its first line. Every POST whose
path ends in /chat/completions gets one answer holding two events (tomorrow 15:00-16:00, repeated
every other week six times, and 16:30-17:00, local time) and is counted in the file named as the
first argument.
"""
import datetime
import http.server
import json
import sys

calls_file = sys.argv[1]
day = (datetime.date.today() + datetime.timedelta(days=1)).isoformat()
events = {"events": [
    {"title": "项目评审", "start_time": f"{day}T15:00:00", "end_time": f"{day}T16:00:00",
     "recurrence": "weekly", "recurrence_interval": 2, "recurrence_count": 6},
    {"title": "复盘", "start_time": f"{day}T16:30:00", "end_time": f"{day}T17:00:00"},
]}
answer = json.dumps({
    "id": "e2e", "object": "chat.completion", "model": "test",
    "choices": [{"index": 0, "finish_reason": "stop",
                 "message": {"role": "assistant", "content": json.dumps(events, ensure_ascii=False)}}],
}).encode()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if not self.path.endswith("/chat/completions"):
            self.send_error(404)
            return
        with open(calls_file, "a") as calls:
            calls.write(self.path + "\n")
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
