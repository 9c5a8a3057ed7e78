"""Who may talk to the viewer.

The viewer drives real hardware, so a page from any other site must not be
able to reach it: every request carries the random token printed with the
address, and a request whose Host or Origin header is not the viewer's own
address is refused before anything else is looked at. The Host check stops
DNS rebinding (a foreign name that resolves to 127.0.0.1 still sends its own
name as Host); the Origin check stops cross-site requests from a page the
user has open elsewhere.
"""
from __future__ import annotations

import hmac
import ipaddress
import secrets
import socket
from collections.abc import Mapping
from dataclasses import dataclass
from email.message import Message
from urllib.parse import parse_qs, urlsplit

TOKEN_HEADER = "X-Viewer-Token"


def new_token() -> str:
    """A token nobody can guess (128 bits, URL-safe)."""
    return secrets.token_urlsafe(16)


def is_loopback(host: str) -> bool:
    """Whether ``host`` names this machine only (127.0.0.0/8, ::1, localhost)."""
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host.strip("[]")).is_loopback
    except ValueError:
        return False


def url_host(host: str) -> str:
    """``host`` as it appears in a URL (IPv6 addresses in brackets)."""
    return f"[{host}]" if ":" in host and not host.startswith("[") else host


@dataclass(frozen=True)
class Refusal:
    """Why a request was refused: the HTTP status and the text shown."""

    status: int
    text: str


def is_wildcard(host: str) -> bool:
    """Whether ``host`` means every address of the machine (0.0.0.0, ::)."""
    try:
        return ipaddress.ip_address(host.strip("[]")).is_unspecified
    except ValueError:
        return False


def _is_address(name: str) -> bool:
    try:
        ipaddress.ip_address(name.strip("[]"))
        return True
    except ValueError:
        return False


class Gate:
    """Checks the Host, Origin and token of every request.

    The viewer's own names: the address it listens on; for the loopback
    address also ``localhost``; for every address of the machine (0.0.0.0
    or ::) any IP address and the machine's own host names, since a name
    another site controls is what DNS rebinding needs, never an address.
    """

    def __init__(self, host: str, port: int, token: str) -> None:
        self.token = token
        self.port = port
        self.any_address = is_wildcard(host)
        names = {url_host(host).lower()}
        if is_loopback(host):
            names |= {"localhost", "127.0.0.1", "[::1]"}
        if self.any_address:
            names |= {socket.gethostname().lower(), socket.getfqdn().lower()}
        self.names = frozenset(names)

    def is_own(self, host_and_port: str) -> bool:
        """Whether ``host[:port]`` (as a Host header gives it) is this
        viewer; without a port it names HTTP's default port, 80, the way a
        browser leaves the port out of the viewer's address on port 80."""
        parts = split_host(host_and_port.lower())
        if parts is None:
            return False
        name, port = parts
        if (port or "80") != str(self.port):
            return False
        return name in self.names or (self.any_address and _is_address(name))

    def check(self, target: str,
              headers: Mapping[str, str] | Message[str, str]) -> Refusal | None:
        """None when the request may go on, else why not. ``target`` is the
        request's path with its query; ``headers`` its headers."""
        host = headers.get("Host")
        if host is None or not self.is_own(host):
            return Refusal(403, "refused: the Host header is not this viewer's address")
        origin = headers.get("Origin")
        if origin is not None and not (origin.lower().startswith("http://")
                                       and self.is_own(origin[len("http://"):])):
            return Refusal(403, "refused: the request comes from another origin")
        given = headers.get(TOKEN_HEADER) or _query_token(target)
        if given is None or not hmac.compare_digest(given.encode(), self.token.encode()):
            return Refusal(401, "refused: the token of the viewer's address is missing or wrong")
        return None


def split_host(text: str) -> tuple[str, str | None] | None:
    """``host[:port]`` as its name (an IPv6 address in brackets) and its
    port (None when not given); None when it is neither."""
    if text.startswith("["):
        name, bracket, rest = text.partition("]")
        if not bracket:
            return None
        name += bracket
    else:
        name, colon, port_text = text.partition(":")
        rest = colon + port_text
    if not name or (rest and not rest.startswith(":")):
        return None
    port = rest[1:] or None
    if port is not None and not (port.isascii() and port.isdigit()):
        return None
    return name, port


def reach_warning(host: str) -> str | None:
    """What to tell the user before serving on ``host``: None when every
    address the name stands for is this machine's loopback, else that other
    machines may reach the viewer and read its token on the way, since plain
    HTTP carries it unencrypted."""
    try:
        addresses = {str(info[4][0]) for info in socket.getaddrinfo(
            host.strip("[]"), None, proto=socket.IPPROTO_TCP)}
    except (OSError, UnicodeError):
        addresses = set()
    if addresses and all(is_loopback(address.split("%")[0]) for address in addresses):
        return None
    return (f"the viewer is reachable from other machines at {host}, and plain HTTP "
            "carries its token unencrypted: anyone who sees the traffic can use the viewer")


def _query_token(target: str) -> str | None:
    values = parse_qs(urlsplit(target).query).get("token")
    return values[0] if values else None
