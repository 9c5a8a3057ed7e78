"""The live viewer: a local web page showing a board as it runs.

``serve`` starts it; ``vkt view`` calls it, after printing
``reach_warning(host)`` when there is one. The documentation's viewer guide
says what the page offers and how it keeps other sites out.
"""
from __future__ import annotations

import pathlib
import socket
from collections.abc import Callable

from .security import is_wildcard, reach_warning, url_host
from .server import ViewerServer
from .session import Session

__all__ = ["address", "make_server", "reach_warning", "serve", "ViewerServer"]


def address(server: ViewerServer, host: str) -> str:
    """The page's address with its token: the one line a user opens (on
    every address of the machine, by the machine's name)."""
    name = socket.gethostname() if is_wildcard(host) else url_host(host)
    return f"http://{name}:{server.port}/?token={server.token}"


def make_server(host: str = "127.0.0.1", port: int = 0,
                output_folder: pathlib.Path | None = None) -> ViewerServer:
    """A viewer bound to ``host``:``port`` (0: a free port), not yet serving;
    recordings go to ``output_folder`` (the current folder by default)."""
    session = Session(output_folder or pathlib.Path.cwd())
    return ViewerServer(host, port, session)


def serve(host: str, port: int, open_message: Callable[[str], None]) -> None:
    """Serves the viewer on ``host``:``port`` (0: a free port) until
    interrupted; ``open_message`` gets the address with the token once the
    server listens. The board the page opened is closed on the way out."""
    server = make_server(host, port)
    open_message(address(server, host))
    try:
        server.serve_forever()
    finally:
        server.server_close()
        server.session.close({})
