#!/usr/bin/env bash
# Serves the web build's site on this machine only and prints its address.
#   scripts/serve-web.sh [PORT] [SITE]      (port 8031 and build-web/site by default; port 0
#                                            takes any free port)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
port="${1:-8031}"
site="${2:-$top/build-web/site}"
if [[ ! -f "$site/index.html" ]]; then
  echo "serve-web.sh: no site in $site; build it with scripts/build-web.sh" >&2
  exit 2
fi
exec python3 - "$port" "$site" <<'PYTHON'
import functools, http.server, os, sys
port, site = int(sys.argv[1]), sys.argv[2]

class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript', '.data': 'application/octet-stream',
                      '.webmanifest': 'application/manifest+json'}
    def log_message(self, *args):
        pass

    # A file with a gzip copy beside it (build-web.sh makes them) goes compressed to a
    # browser that takes gzip; the browser unpacks it.
    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, 'index.html')
        accepts = 'gzip' in self.headers.get('Accept-Encoding', '')
        if not accepts or not os.path.isfile(path + '.gz'):
            return super().send_head()
        try:
            file = open(path + '.gz', 'rb')
        except OSError:
            return super().send_head()
        status = os.fstat(file.fileno())
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Encoding', 'gzip')
        self.send_header('Vary', 'Accept-Encoding')
        self.send_header('Content-Length', str(status.st_size))
        self.send_header('Last-Modified', self.date_time_string(status.st_mtime))
        self.end_headers()
        return file

class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):  # a page that stopped a download
            super().handle_error(request, client_address)

server = Server(('127.0.0.1', port), functools.partial(Handler, directory=site))
print(f'http://127.0.0.1:{server.server_address[1]}/', flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PYTHON
