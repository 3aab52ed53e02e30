#!/usr/bin/env python3
"""A plain HTTP proxy on 127.0.0.1 for tests: forwards requests with an
absolute address ("GET http://127.0.0.1:PORT/path HTTP/1.1") to 127.0.0.1 or
localhost only, and may ask for a login.

  proxy.py start --state FILE [--log FILE] [--auth USER:PASSWORD] [--lifetime S]
      starts the proxy in the background on a port the system picks, writes
      "PORT PID" into FILE, prints the port and returns.
  proxy.py stop --state FILE
      ends the proxy named in FILE by its PID and removes FILE.
  proxy.py serve [--port N] [--state FILE] [--log FILE] [--auth USER:PASSWORD]
      runs the proxy in the foreground (Ctrl+C ends it).

With --auth, a request without "Proxy-Authorization: Basic base64(USER:PASSWORD)"
gets 407 with Proxy-Authenticate: Basic realm="zep-test". Another host gets
403, an address that is not http://... 400, CONNECT 501, a site that cannot
be reached 502. The answer is passed on byte for byte (a cut body stays cut)
and the connection closed after it. With --log, every request appends
  METHOD URL auth=<yes|no> status=<code>
to FILE at once; auth tells whether the request carried Proxy-Authorization.
"""
import base64
import http.client
import os
import sys
import urllib.parse

import webserver

HOSTS = ("127.0.0.1", "localhost")
# Longer than the web site's longest stall, so that its stalls reach the client.
UPSTREAM_TIMEOUT = webserver.MAX_WAIT + 10
NOT_FORWARDED = ("proxy-authorization", "proxy-connection", "connection", "keep-alive", "host")
REALM = 'Basic realm="zep-test"'


class ProxyHandler(webserver.BaseHandler):
    def log_line(self, code):
        carried = "yes" if self.header("Proxy-Authorization") is not None else "no"
        return "%s %s auth=%s status=%s" % (self.command, self.path, carried, code)

    def refuse(self, code, headers=()):
        self.close_connection = True
        self.send_page(code, self.command != "HEAD", list(headers) + [("Connection", "close")])

    def logged_in(self):
        scheme, _, token = (self.header("Proxy-Authorization") or "").strip().partition(" ")
        return scheme.lower() == "basic" and token.strip() == self.server.login

    def do_CONNECT(self):
        self.refuse(501)

    def forward(self):
        self.close_connection = True
        if self.server.login and not self.logged_in():
            self.refuse(407, [("Proxy-Authenticate", REALM)])
            return
        url = urllib.parse.urlsplit(self.path)
        if url.scheme != "http" or not url.hostname:
            self.refuse(400)
            return
        if url.hostname not in HOSTS:
            self.refuse(403)
            return
        try:
            length = int(self.header("Content-Length") or 0)
        except ValueError:
            self.refuse(400)
            return
        payload = self.rfile.read(length) if length > 0 else None

        upstream = http.client.HTTPConnection(url.hostname, url.port or 80, timeout=UPSTREAM_TIMEOUT)
        try:
            try:
                upstream.putrequest(self.command, urllib.parse.urlunsplit(("", "", url.path or "/", url.query, "")),
                                    skip_host=True, skip_accept_encoding=True)
                # The address names the site; a Host sent along may name the proxy.
                upstream.putheader("Host", url.netloc)
                for name, value in self.headers.items():
                    if name.lower() not in NOT_FORWARDED:
                        upstream.putheader(name, value)
                upstream.putheader("Connection", "close")
                upstream.endheaders(payload)
                answer = upstream.getresponse()
            except (OSError, http.client.HTTPException):
                self.refuse(502)
                return
            self.log_request(answer.status)
            self.send_response_only(answer.status, answer.reason)
            for name, value in answer.msg.items():
                if name.lower() not in ("connection", "keep-alive"):
                    self.send_header(name, value)
            self.send_header("Connection", "close")
            self.end_headers()
            if self.command == "HEAD" or answer.status < 200 or answer.status in (204, 304):
                return
            # The upstream closes after its answer: copying its raw bytes to the end keeps
            # Content-Length, chunks and cuts as the site sent them.
            while True:
                data = answer.fp.read1(webserver.SEND_BLOCK)
                if not data:
                    break
                self.wfile.write(data)
        finally:
            upstream.close()

    do_GET = do_HEAD = do_POST = do_PUT = do_DELETE = do_OPTIONS = forward


def serve(args):
    server = webserver.Server(("127.0.0.1", args.port), ProxyHandler)
    server.requests = webserver.RequestLog(args.log)
    server.login = base64.b64encode(args.auth.encode()).decode() if args.auth else None
    return webserver.run(server, args, "proxy")


def start(args):
    options = ["--lifetime", str(args.lifetime)]
    if args.log:
        options += ["--log", os.path.abspath(args.log)]
    if args.auth:
        options += ["--auth", args.auth]
    return webserver.start_in_background(__file__, os.path.abspath(args.state), options)


def stop(args):
    return webserver.stop_by_state(__file__, args.state)


def main():
    def options(command, name):
        command.add_argument("--auth", help="USER:PASSWORD that requests must send")
    args = webserver.command_line(__doc__, options)
    return {"start": start, "serve": serve, "stop": stop}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
