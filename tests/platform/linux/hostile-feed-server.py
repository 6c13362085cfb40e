#!/usr/bin/python3
# An update server on 127.0.0.1 for the end-to-end tests, speaking https with
# a certificate made here by `openssl req -x509`, beside a cleartext one.
# Prints "ready TLS_PORT CLEARTEXT_PORT CERTIFICATE_FILE" once both listen,
# then serves until its standard input closes (or 120 s pass). The feed path
# answers, by the prefix before it:
#   (none)    a hostile feed: links to a local file and to a script, and a
#             version string written as markup
#   /benign   a feed offering 9.5 with an https release-notes page
#   /to-http  a redirect to the same feed on the cleartext server
#   /slow     the /benign feed, 3 seconds after the request came
# Every request the cleartext server gets is appended to FOLDER/cleartext.log.
#   hostile-feed-server.py FOLDER
import http.server
import os
import ssl
import subprocess
import sys
import threading
import time

FEED_PATH = "/velmora/download/assets/VelmoraAppcast.xml"
MARKUP_VERSION = '9.1<a href="https://evil.invalid/">click</a>'


def feed(items):
    return ('<?xml version="1.0" encoding="utf-8"?>\n'
            '<rss version="2.0" xmlns:sparkle="http://www.brightfen.com/xml-namespaces/updates">'
            "<channel><title>Velmora</title>" + items + "</channel></rss>\n").encode()


HOSTILE = feed(
    "<item><title>file</title><sparkle:releaseNotesLink>file:///etc/passwd</sparkle:releaseNotesLink>"
    '<enclosure url="file:///etc/passwd" sparkle:version="9.0"/></item>'
    "<item><title>script</title><sparkle:releaseNotesLink>javascript:alert(document.cookie)</sparkle:releaseNotesLink>"
    '<enclosure url="javascript:alert(1)" sparkle:version="9.1" sparkle:shortVersionString="'
    + MARKUP_VERSION.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")
    + '"/></item>')
BENIGN = feed(
    "<item><title>fine</title><sparkle:releaseNotesLink>https://notes.invalid/9.5.html</sparkle:releaseNotesLink>"
    '<enclosure url="https://files.invalid/Velmora_9.5.zip" sparkle:version="9.5"/></item>')


def handler(tls, folder, cleartext_port):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            if not tls:
                with open(os.path.join(folder, "cleartext.log"), "a") as log:
                    log.write(self.path + "\n")
            if tls and self.path == "/to-http" + FEED_PATH:
                self.send_response(302)
                self.send_header("Location", "http://127.0.0.1:%d%s" % (cleartext_port(), FEED_PATH))
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if tls and self.path == "/slow" + FEED_PATH:
                time.sleep(3)
            body = {FEED_PATH: HOSTILE, "/benign" + FEED_PATH: BENIGN, "/slow" + FEED_PATH: BENIGN}.get(self.path)
            if body is None or not tls:
                body = BENIGN if not tls else None
            if body is None:
                self.send_error(404)
                return
            self.send_response(200)
            self.send_header("Content-Type", "application/rss+xml")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


def main():
    folder = sys.argv[1]
    cert, key = os.path.join(folder, "server.pem"), os.path.join(folder, "server.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, timeout=30, capture_output=True)

    servers = {}
    cleartext_port = lambda: servers["plain"].server_address[1]
    servers["plain"] = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler(False, folder, cleartext_port))
    servers["tls"] = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler(True, folder, cleartext_port))
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    servers["tls"].socket = context.wrap_socket(servers["tls"].socket, server_side=True)
    for server in servers.values():
        server.timeout = 10
        threading.Thread(target=server.serve_forever, daemon=True).start()

    print("ready", servers["tls"].server_address[1], cleartext_port(), cert, flush=True)
    # Until the test closes our input; never longer than the test could run.
    watchdog = threading.Timer(120, lambda: os._exit(0))
    watchdog.daemon = True
    watchdog.start()
    sys.stdin.read()
    for server in servers.values():
        server.shutdown()


main()
