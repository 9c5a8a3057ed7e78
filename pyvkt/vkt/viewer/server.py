"""The viewer's HTTP server: routing, answers, and the frame long-poll.

Standard library only. Every request first passes the gate (Host, Origin,
token); the page's own files are served from the package, and everything
else is a small JSON API over the one open board (``session.Session``).
Frames travel as raw pixels (a fetch of binary data that waits up to half a
second for a frame newer than the one the page has), so the server does no
image encoding and the page draws and measures the exact values.
"""
from __future__ import annotations

import json
import socket
import sys
import threading
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from importlib import resources
from typing import Any
from urllib.parse import parse_qs, urlsplit

from .security import Gate, new_token
from .session import Session, SessionError

FRAME_WAIT_SECONDS = 0.5
MAX_BODY = 64 * 1024
STATIC_TYPES = {
    "app.js": "text/javascript; charset=utf-8",
    "style.css": "text/css; charset=utf-8",
}
# Nothing from outside the package, no framing, no referrer carrying the token.
SECURITY_HEADERS = {
    "Content-Security-Policy": "default-src 'self'; img-src 'self' data: blob:; "
                               "frame-ancestors 'none'; base-uri 'none'; form-action 'none'",
    "X-Content-Type-Options": "nosniff",
    "X-Frame-Options": "DENY",
    "Referrer-Policy": "no-referrer",
    "Cache-Control": "no-store",
}


def static_text(name: str) -> str:
    # One step per joinpath: Traversable takes a single name on 3.10.
    return resources.files("vkt.viewer").joinpath("static").joinpath(name).read_text("utf-8")


class ViewerServer(ThreadingHTTPServer):
    """The HTTP server with the viewer's gate and session."""

    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, host: str, port: int, session: Session) -> None:
        # An IPv6 address needs a socket of that family.
        self.address_family = socket.AF_INET6 if ":" in host else socket.AF_INET
        super().__init__((host.strip("[]"), port), Handler)
        self.token = new_token()
        self.gate = Gate(host, self.server_address[1], self.token)
        self.session = session
        self.page = static_text("index.html").replace("__TOKEN__", self.token)

    def handle_error(self, request: Any, client_address: Any) -> None:
        """A page that went away mid-answer (closed, reloaded) is no error;
        anything else is reported as the standard library does."""
        if isinstance(sys.exc_info()[1], ConnectionError):
            return
        super().handle_error(request, client_address)

    @property
    def port(self) -> int:
        return int(self.server_address[1])


class Handler(BaseHTTPRequestHandler):
    server: ViewerServer
    protocol_version = "HTTP/1.1"

    def log_message(self, format: str, *args: Any) -> None:  # noqa: A002
        """Quiet: the terminal shows the address line and warnings only."""

    # ---- dispatch -----------------------------------------------------------------
    def do_GET(self) -> None:
        if not self._allowed():
            return
        path = urlsplit(self.path).path
        if path == "/":
            self._send(HTTPStatus.OK, self.server.page.encode(), "text/html; charset=utf-8")
        elif path.startswith("/static/") and path[len("/static/"):] in STATIC_TYPES:
            name = path[len("/static/"):]
            self._send(HTTPStatus.OK, static_text(name).encode(), STATIC_TYPES[name])
        elif path == "/api/state":
            query = parse_qs(urlsplit(self.path).query)
            self._json(self.server.session.state({"settings": "settings" in query}))
        elif path == "/api/frame":
            self._frame()
        else:
            self._error(HTTPStatus.NOT_FOUND, "no such page")

    def do_POST(self) -> None:
        if not self._allowed():
            return
        path = urlsplit(self.path).path
        actions = {
            "/api/open": self.server.session.open,
            "/api/close": self.server.session.close,
            "/api/setting": self.server.session.set_setting,
            "/api/capture": self.server.session.capture,
            "/api/record": self.server.session.record,
            "/api/output": self.server.session.write_output,
        }
        action = actions.get(path)
        if action is None:
            self._error(HTTPStatus.NOT_FOUND, "no such action")
            return
        body = self._body()
        if body is None:
            return
        try:
            self._json(action(body))
        except SessionError as error:
            self._json({"error": str(error)}, HTTPStatus.UNPROCESSABLE_ENTITY)

    # ---- pieces -------------------------------------------------------------------
    def _allowed(self) -> bool:
        refusal = self.server.gate.check(self.path, self.headers)
        if refusal is None:
            return True
        self._error(refusal.status, refusal.text)
        return False

    def _body(self) -> dict[str, Any] | None:
        """The request's JSON object; answers the refusal itself and gives None
        for anything else (only JSON is taken, which keeps plain cross-site
        form posts out as well)."""
        if self.headers.get_content_type() != "application/json":
            self._error(HTTPStatus.UNSUPPORTED_MEDIA_TYPE, "send JSON")
            return None
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            length = -1
        if not 0 <= length <= MAX_BODY:
            self._error(HTTPStatus.BAD_REQUEST, "bad request length")
            return None
        try:
            body = json.loads(self.rfile.read(length) or b"{}")
        except ValueError:
            body = None
        if not isinstance(body, dict):
            self._error(HTTPStatus.BAD_REQUEST, "send a JSON object")
            return None
        return body

    def _frame(self) -> None:
        query = parse_qs(urlsplit(self.path).query)
        try:
            after = int(query.get("after", ["0"])[0])
        except ValueError:
            after = 0
        frame = self.server.session.frames.wait_newer(after, FRAME_WAIT_SECONDS)
        if frame is None:
            self._send(HTTPStatus.NO_CONTENT, b"", "application/octet-stream")
            return
        headers = {
            "X-Frame-Sequence": str(frame.sequence),
            "X-Frame-Number": str(frame.number),
            "X-Frame-Width": str(frame.width),
            "X-Frame-Height": str(frame.height),
            "X-Frame-Sample-Bytes": str(frame.sample_bytes),
        }
        self._send(HTTPStatus.OK, frame.pixels, "application/octet-stream", headers)

    def _json(self, value: object, status: int = HTTPStatus.OK) -> None:
        self._send(status, json.dumps(value).encode(), "application/json")

    def _error(self, status: int, text: str) -> None:
        self._send(status, json.dumps({"error": text}).encode(), "application/json")

    def _send(self, status: int, body: bytes, kind: str,
              extra: dict[str, str] | None = None) -> None:
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in {**SECURITY_HEADERS, **(extra or {})}.items():
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)


def run_in_thread(server: ViewerServer) -> threading.Thread:
    """Serves on a daemon thread (the tests' way of starting a viewer)."""
    thread = threading.Thread(target=server.serve_forever, name="vkt-viewer-http",
                              daemon=True)
    thread.start()
    return thread
