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
import functools, http.server, sys
port, site = int(sys.argv[1]), sys.argv[2]

class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript', '.data': 'application/octet-stream'}
    def log_message(self, *args):
        pass

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
