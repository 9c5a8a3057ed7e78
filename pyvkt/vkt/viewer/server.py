"""The viewer's HTTP server: connections, routing, answers, the frame long-poll.

Standard library only. Every request first passes the gate (Host, Origin,
token); the page's own files are served from the package, and everything
else is a small JSON API over the one open board (``session.Session``).
Frames travel as raw pixels (a fetch of binary data that waits up to half a
second for a frame newer than the one the page has), so the server does no
image encoding and the page draws and measures the exact values.

Connections cost no thread while they send their request: one thread
(``serve_forever``) reads every connection without blocking until a whole
request (head and body) has come, and only then hands it to one of a fixed
pool of handler threads. A client that stalls therefore holds a descriptor
and a few bytes, never a thread, and it is closed when its request has not
come whole within ``request_seconds``. The number of open connections is
capped below the process's descriptor limit; at the cap the connection that
has waited longest for its request makes room, and when every connection is
being answered a new one gets a quick 503.
"""
from __future__ import annotations

import errno
import io
import json
import queue
import selectors
import socket
import sys
import threading
import time
import traceback
from dataclasses import dataclass, field
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler
from importlib import resources
from typing import Any
from urllib.parse import parse_qs, urlsplit

from .security import Gate, new_token
from .session import Session, SessionError

FRAME_WAIT_SECONDS = 0.5
MAX_BODY = 64 * 1024
MAX_HEAD = 16 * 1024
HANDLERS = 8
MAX_CONNECTIONS = 256
# Descriptors left to the rest of the process (the board, files, recordings).
SPARE_DESCRIPTORS = 64
REQUEST_SECONDS = 10.0
WRITE_SECONDS = 10.0
LINGER_SECONDS = 2.0
STOP_SECONDS = 2.0
ACCEPT_PAUSE_SECONDS = 0.1
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
_WAKE = object()


def static_text(name: str) -> str:
    # One step per joinpath: Traversable takes a single name on 3.10.
    return resources.files("vkt.viewer").joinpath("static").joinpath(name).read_text("utf-8")


def connection_cap() -> int:
    """How many connections may be open at once: MAX_CONNECTIONS, fewer when
    the process may open few descriptors."""
    try:
        import resource
        soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    except (ImportError, OSError, ValueError):
        return MAX_CONNECTIONS
    if soft == resource.RLIM_INFINITY:
        return MAX_CONNECTIONS
    return max(4, min(MAX_CONNECTIONS, soft - SPARE_DESCRIPTORS))


def answer_bytes(status: int, text: str) -> bytes:
    """A whole JSON refusal that closes the connection, for the answers given
    before a request reaches a handler."""
    body = json.dumps({"error": text}).encode()
    lines = [f"HTTP/1.1 {status} {HTTPStatus(status).phrase}",
             "Content-Type: application/json", f"Content-Length: {len(body)}",
             "Connection: close"]
    lines += [f"{name}: {value}" for name, value in SECURITY_HEADERS.items()]
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body


class Malformed(Exception):
    """A request refused with 400 before it reaches a handler."""


def head_end(buffer: bytearray) -> int | None:
    """Where the request's head ends (after its empty line), or None."""
    ends = [at + len(mark) for mark in (b"\r\n\r\n", b"\n\n")
            if (at := buffer.find(mark)) >= 0]
    return min(ends) if ends else None


def body_length(head: bytes) -> tuple[int, bool]:
    """The body length a request's head announces, and whether it waits for
    "100 Continue"; Malformed when the length is missing in a form the
    viewer reads (a chunked body) or is not one plain number."""
    lengths, expects = set(), False
    for line in head.decode("latin-1").split("\n")[1:]:
        name, _, value = line.partition(":")
        name, value = name.strip().lower(), value.strip()
        if name == "transfer-encoding":
            raise Malformed("send the body with a Content-Length")
        if name == "content-length":
            lengths.add(value)
        elif name == "expect":
            expects = value.lower() == "100-continue"
    if not lengths:
        return 0, expects
    value = lengths.pop()
    if lengths or not value.isascii() or not value.isdigit() or int(value) > MAX_BODY:
        raise Malformed("bad request length")
    return int(value), expects


@dataclass(eq=False)
class Connection:
    """One client's socket and what it has sent that is not answered yet."""

    sock: socket.socket
    address: Any
    deadline: float
    buffer: bytearray = field(default_factory=bytearray)
    continued: bool = False
    closing: bool = False


class ViewerServer:
    """The HTTP server with the viewer's gate and session."""

    def __init__(self, host: str, port: int, session: Session,
                 handlers: int = HANDLERS) -> None:
        # An IPv6 address needs a socket of that family.
        family = socket.AF_INET6 if ":" in host else socket.AF_INET
        self.socket = socket.socket(family, socket.SOCK_STREAM)
        try:
            self.socket.bind((host.strip("[]"), port))
            self.socket.listen(128)
            self.socket.setblocking(False)
        except OSError:
            self.socket.close()
            raise
        self.server_address = self.socket.getsockname()
        self.token = new_token()
        self.gate = Gate(host, self.server_address[1], self.token)
        self.session = session
        self.page = static_text("index.html").replace("__TOKEN__", self.token)
        self.handlers = handlers
        self.max_connections = connection_cap()
        self.request_seconds = REQUEST_SECONDS
        self.write_seconds = WRITE_SECONDS
        self._waiting: dict[socket.socket, Connection] = {}
        self._busy = 0
        self._work: queue.SimpleQueue[tuple[Connection, bytes] | None] = queue.SimpleQueue()
        self._returned: queue.SimpleQueue[tuple[Connection, bool]] = queue.SimpleQueue()
        self._wake_in, self._wake_out = socket.socketpair()
        self._wake_in.setblocking(False)
        self._wake_out.setblocking(False)
        self._stop = threading.Event()
        self._stopped = threading.Event()
        self._accept_again = 0.0
        self._serving = False

    @property
    def port(self) -> int:
        return int(self.server_address[1])

    # ---- running and stopping ------------------------------------------------------
    def serve_forever(self) -> None:
        """Answers requests until ``shutdown``."""
        self._serving = True
        workers = [threading.Thread(target=self._work_loop, daemon=True,
                                    name=f"vkt-viewer-handler-{n}")
                   for n in range(self.handlers)]
        for worker in workers:
            worker.start()
        self._selector = selectors.DefaultSelector()
        self._selector.register(self.socket, selectors.EVENT_READ, None)
        self._selector.register(self._wake_in, selectors.EVENT_READ, _WAKE)
        try:
            while not self._stop.is_set():
                self._turn()
        finally:
            for _ in workers:
                self._work.put(None)
            # A long poll ends within half a second; a handler stuck on a
            # client that does not read is a daemon thread and is left behind.
            deadline = time.monotonic() + STOP_SECONDS
            for worker in workers:
                worker.join(max(0.0, deadline - time.monotonic()))
            self._finish()

    def shutdown(self) -> None:
        """Stops ``serve_forever`` (from another thread) and waits for it."""
        self._stop.set()
        self._wake()
        if self._serving:
            self._stopped.wait()

    def server_close(self) -> None:
        self.socket.close()
        self._wake_in.close()
        self._wake_out.close()

    def _finish(self) -> None:
        while not self._returned.empty():
            self._returned.get()[0].sock.close()
        for connection in list(self._waiting.values()):
            connection.sock.close()
        self._waiting.clear()
        self._selector.close()
        self._stopped.set()

    def _wake(self) -> None:
        try:
            self._wake_out.send(b"x")
        except OSError:
            pass  # already woken (the pipe is full) or closed

    # ---- the connection thread -----------------------------------------------------
    def _turn(self) -> None:
        now = time.monotonic()
        if self._accept_again and now >= self._accept_again:
            self._accept_again = 0.0
            self._selector.register(self.socket, selectors.EVENT_READ, None)
        deadlines = [c.deadline for c in self._waiting.values()]
        if self._accept_again:
            deadlines.append(self._accept_again)
        timeout = min([0.5] + [max(0.0, d - now) for d in deadlines])
        for key, _ in self._selector.select(timeout):
            if key.data is None:
                self._accept()
            elif key.data is _WAKE:
                self._take_back()
            elif key.fileobj in self._waiting:
                self._receive(key.data)
        self._expire(time.monotonic())

    def _accept(self) -> None:
        for _ in range(64):
            try:
                sock, address = self.socket.accept()
            except BlockingIOError:
                return
            except OSError as error:
                if error.errno in (errno.EMFILE, errno.ENFILE, errno.ENOBUFS, errno.ENOMEM):
                    # Out of descriptors: make room, or stop accepting for a
                    # moment rather than being woken for the same backlog again.
                    if not self._evict():
                        self._pause_accepting()
                    return
                continue  # the client went away before it was accepted
            if len(self._waiting) + self._busy >= self.max_connections and not self._evict():
                self._refuse_now(sock, HTTPStatus.SERVICE_UNAVAILABLE,
                                 "the viewer is busy: too many connections")
                continue
            sock.setblocking(False)
            self._watch(Connection(sock, address, time.monotonic() + self.request_seconds))

    def _pause_accepting(self) -> None:
        self._selector.unregister(self.socket)
        self._accept_again = time.monotonic() + ACCEPT_PAUSE_SECONDS

    def _evict(self) -> bool:
        """Closes a refused connection still being drained, else the one that
        has waited longest for its request."""
        if not self._waiting:
            return False
        self._drop(min(self._waiting.values(), key=lambda c: (not c.closing, c.deadline)))
        return True

    def _watch(self, connection: Connection) -> None:
        self._waiting[connection.sock] = connection
        self._selector.register(connection.sock, selectors.EVENT_READ, connection)

    def _drop(self, connection: Connection) -> None:
        self._selector.unregister(connection.sock)
        del self._waiting[connection.sock]
        connection.sock.close()

    def _expire(self, now: float) -> None:
        for connection in [c for c in self._waiting.values() if c.deadline <= now]:
            self._drop(connection)

    def _receive(self, connection: Connection) -> None:
        try:
            data = connection.sock.recv(65536)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if not data:
            self._drop(connection)
        elif connection.closing:
            pass  # the rest of a refused request, read and thrown away
        else:
            connection.buffer += data
            self._advance(connection)

    def _advance(self, connection: Connection) -> None:
        """Hands a whole request to the handlers, or refuses a malformed one."""
        buffer = connection.buffer
        while buffer.startswith((b"\r", b"\n")):
            del buffer[:1]  # empty lines before a request are allowed
        end = head_end(buffer)
        if end is None:
            if len(buffer) > MAX_HEAD:
                self._refuse(connection, "the request's head is too long")
            return
        if end > MAX_HEAD:
            self._refuse(connection, "the request's head is too long")
            return
        try:
            length, expects = body_length(bytes(buffer[:end]))
        except Malformed as error:
            self._refuse(connection, str(error))
            return
        if len(buffer) < end + length:
            if expects and not connection.continued:
                connection.continued = True
                self._send_quietly(connection.sock, b"HTTP/1.1 100 Continue\r\n\r\n")
            return
        request = bytes(buffer[:end + length])
        del buffer[:end + length]
        connection.continued = False
        self._selector.unregister(connection.sock)
        del self._waiting[connection.sock]
        self._busy += 1
        self._work.put((connection, request))

    def _refuse(self, connection: Connection, text: str) -> None:
        """Answers 400 and closes the connection once the client has had the
        answer (what it still sends is read and thrown away for a moment, so
        that the close does not destroy the answer)."""
        self._send_quietly(connection.sock, answer_bytes(HTTPStatus.BAD_REQUEST, text))
        self._linger(connection)

    def _linger(self, connection: Connection) -> None:
        connection.closing = True
        connection.buffer.clear()
        connection.deadline = time.monotonic() + LINGER_SECONDS
        try:
            connection.sock.shutdown(socket.SHUT_WR)
        except OSError:
            self._drop(connection)

    @staticmethod
    def _send_quietly(sock: socket.socket, data: bytes) -> None:
        try:
            sock.send(data)
        except OSError:
            pass  # the client is gone; the connection is closed next

    def _refuse_now(self, sock: socket.socket, status: int, text: str) -> None:
        sock.setblocking(False)
        self._send_quietly(sock, answer_bytes(status, text))
        sock.close()

    def _take_back(self) -> None:
        """Connections whose answer is sent: watched for their next request,
        or closed."""
        try:
            while self._wake_in.recv(4096):
                pass
        except BlockingIOError:
            pass
        while not self._returned.empty():
            connection, keep = self._returned.get()
            self._busy -= 1
            connection.deadline = time.monotonic() + self.request_seconds
            try:
                connection.sock.setblocking(False)
                self._watch(connection)
            except OSError:
                connection.sock.close()
                continue
            if not keep:
                self._linger(connection)
            elif connection.buffer:
                self._advance(connection)  # the next request came with this one

    # ---- the handler threads -------------------------------------------------------
    def _work_loop(self) -> None:
        while (item := self._work.get()) is not None:
            connection, request = item
            keep = self._answer(connection, request)
            self._returned.put((connection, keep))
            self._wake()

    def _answer(self, connection: Connection, request: bytes) -> bool:
        """Answers one request; whether the connection may carry another."""
        try:
            handler = Handler(connection.sock, request, connection.address, self)
            return not handler.close_connection
        except OSError:
            return False  # the client went away or stopped reading


class Writer:
    """The answer's bytes onto the socket, all of them within the time the
    server gives an answer (a client that stops reading is let go)."""

    def __init__(self, sock: socket.socket, seconds: float) -> None:
        self.sock = sock
        self.deadline = time.monotonic() + seconds

    def write(self, data: bytes) -> int:
        view = memoryview(data)
        while view:
            left = self.deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("the client did not read its answer")
            self.sock.settimeout(left)
            view = view[self.sock.send(view):]
        return len(data)

    def flush(self) -> None:
        pass


class Handler(BaseHTTPRequestHandler):
    """Answers one whole request, already read by the server."""

    server: ViewerServer  # type: ignore[assignment]
    protocol_version = "HTTP/1.1"

    def __init__(self, sock: socket.socket, request: bytes, address: Any,
                 server: ViewerServer) -> None:
        self._request = request
        self._answered = False
        super().__init__(sock, address, server)  # type: ignore[arg-type]

    def setup(self) -> None:
        self.rfile = io.BytesIO(self._request)
        self.wfile = Writer(self.request, self.server.write_seconds)  # type: ignore[assignment]

    def finish(self) -> None:
        pass

    def handle(self) -> None:
        self.close_connection = True
        try:
            self.handle_one_request()
        except OSError:
            self.close_connection = True
            raise
        except Exception:  # noqa: BLE001  (a fault of the viewer: said, and shown)
            self.close_connection = True
            traceback.print_exc(file=sys.stderr)
            if not self._answered:
                self._error(HTTPStatus.INTERNAL_SERVER_ERROR,
                            "the viewer failed to answer: %s" % sys.exc_info()[1])

    def log_message(self, format: str, *args: Any) -> None:  # noqa: A002
        """Quiet: the terminal shows the address line and warnings only."""

    def handle_expect_100(self) -> bool:
        return True  # the server has said "100 Continue" already, if at all

    def parse_request(self) -> bool:
        if not super().parse_request():
            return False
        if self.request_version == "HTTP/0.9":
            self.send_error(HTTPStatus.BAD_REQUEST, "HTTP/1.0 or 1.1 only")
            return False
        return True

    def send_error(self, code: int, message: str | None = None,
                   explain: str | None = None) -> None:
        """Every request the standard parser refuses (syntax, version, too
        many headers, a method without meaning here) is a bad request."""
        if self.request_version == "HTTP/0.9":
            self.request_version = "HTTP/1.0"  # so that the answer has a status line
        self._error(HTTPStatus.BAD_REQUEST, message or HTTPStatus(code).phrase)

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

    do_HEAD = do_GET

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
        form posts out as well). The server has checked the length."""
        if self.headers.get_content_type() != "application/json":
            self._error(HTTPStatus.UNSUPPORTED_MEDIA_TYPE, "send JSON")
            return None
        length = int(self.headers.get("Content-Length", "0"))
        try:
            body = json.loads(self.rfile.read(length) or b"{}")
        except (ValueError, RecursionError):
            body = None  # not JSON, not UTF-8, or nested deeper than the parser goes
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
            "X-Frame-Bits": str(self.server.session.sample_bits(frame.sample_bytes)),
        }
        self._send(HTTPStatus.OK, frame.pixels, "application/octet-stream", headers)

    def _json(self, value: object, status: int = HTTPStatus.OK) -> None:
        self._send(status, json.dumps(value).encode(), "application/json")

    def _error(self, status: int, text: str) -> None:
        self._send(status, json.dumps({"error": text}).encode(), "application/json")

    def _send(self, status: int, body: bytes, kind: str,
              extra: dict[str, str] | None = None) -> None:
        self._answered = True
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in {**SECURITY_HEADERS, **(extra or {})}.items():
            self.send_header(name, value)
        if status >= 400:
            # A refused request's connection is not trusted with another.
            self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)


def run_in_thread(server: ViewerServer) -> threading.Thread:
    """Serves on a daemon thread (the tests' way of starting a viewer)."""
    thread = threading.Thread(target=server.serve_forever, name="vkt-viewer-http",
                              daemon=True)
    thread.start()
    return thread
