#!/usr/bin/env python3
"""The PHP project's download folder as the set-up's tests need it, on
loopback: files from a folder, every request logged; a file with a sibling
"<name>.cut" is cut off half way (its full length announced), one with
"<name>.slow" trickles out in 64 KiB pieces ten times a second.
Usage: release_server.py <folder> <port> <log file>"""
import http.server
import os
import sys
import time

root, port, log = sys.argv[1], int(sys.argv[2]), sys.argv[3]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=root, **kwargs)

    def log_message(self, format, *args):
        with open(log, "a") as f:
            f.write("%s\n" % (format % args))

    def do_GET(self):
        path = self.translate_path(self.path)
        if not os.path.isfile(path) or not (os.path.exists(path + ".cut") or os.path.exists(path + ".slow")):
            return super().do_GET()
        data = open(path, "rb").read()
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if os.path.exists(path + ".cut"):
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        try:
            for at in range(0, len(data), 65536):
                self.wfile.write(data[at : at + 65536])
                self.wfile.flush()
                time.sleep(0.1)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client cancelled


http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
