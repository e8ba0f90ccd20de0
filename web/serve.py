#!/usr/bin/env python3
# serve.py: serves the built site as static files on 127.0.0.1, with the Content-Security-Policy that lets the page
# load nothing but its own files (and compile its own WebAssembly). Usage: serve.py SITE_DIR PORT
import functools
import http.server
import sys

CSP = ("default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; worker-src 'self'; style-src 'self'; "
       "img-src 'self' data: blob:; connect-src 'self'; object-src 'none'; base-uri 'none'; form-action 'none'; "
       "frame-ancestors 'none'")


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.js': 'text/javascript', '.replay': 'application/json', '.fpl': 'text/plain',
                      '.map': 'text/plain'}

    def end_headers(self):
        self.send_header('Content-Security-Policy', CSP)
        self.send_header('X-Content-Type-Options', 'nosniff')
        self.send_header('Cache-Control', 'no-cache')
        super().end_headers()

    def log_message(self, format, *args):  # quiet: tests start it many times
        pass


def main():
    site, port = sys.argv[1], int(sys.argv[2])
    handler = functools.partial(SiteHandler, directory=site)
    with http.server.ThreadingHTTPServer(('127.0.0.1', port), handler) as server:
        print(f'listening on {server.server_address[1]}', flush=True)
        server.serve_forever()


if __name__ == '__main__':
    main()
