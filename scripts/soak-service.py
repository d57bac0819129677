#!/usr/bin/env python3
# The soak's hostile services on 127.0.0.1:argv[1]: a web rotation that chooses the library's
# songs (argv[2]) in a shuffled round, but fails every 5th choice with HTTP 500 and answers every
# 7th only after 40 s; and a stream address, /stall.mp3, that connects and never sends audio.
import os, random, sys, threading, time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

port, music = int(sys.argv[1]), sys.argv[2]
lock = threading.Lock()
state = {"n": 0, "round": []}


def next_song():
    with lock:
        if not state["round"]:
            state["round"] = sorted(f for f in os.listdir(music) if f.endswith(".mp3"))
            random.Random(len(state["round"])).shuffle(state["round"])
        return state["round"].pop(0)


class Handler(BaseHTTPRequestHandler):
    def log_message(self, fmt, *args):
        sys.stdout.write("%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args))
        sys.stdout.flush()

    def do_GET(self):
        if self.path != "/stall.mp3":
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.end_headers()
        self.wfile.flush()
        try:
            while True:  # connected, silent
                time.sleep(1)
                self.wfile.write(b"")
        except OSError:
            pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.rfile.read(length)
        if self.path != "/choose":
            self.reply(200, "<r/>")
            return
        with lock:
            state["n"] += 1
            n = state["n"]
        if n % 5 == 0:
            self.reply(500, "failing on purpose")
            return
        if n % 7 == 0:
            time.sleep(40)
        name = next_song()
        artist, _, title = name[:-4].partition(" - ")
        self.reply(200, "<WEB><song><songID>-1</songID><filename>%s</filename><artist>%s</artist>"
                   "<title>%s</title><duration>50000</duration></song></WEB>"
                   % (escape(os.path.join(music, name)), escape(artist), escape(title)))

    def reply(self, status, body):
        data = body.encode()
        try:
            self.send_response(status)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        except OSError:
            pass  # the player gave up on it


ThreadingHTTPServer.daemon_threads = True
ThreadingHTTPServer(("127.0.0.1", port), Handler).serve_forever()
