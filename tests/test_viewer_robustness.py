"""The live viewer against clients that stall, flood or send malformed
requests, and against requests that fail halfway: it keeps answering its
page, answers every malformed request with 400 or 422, and keeps the board
it has open."""
import json
import os
import socket
import subprocess
import sys
import textwrap
import threading
import time

import pytest

import vktsim
from vkt.viewer import server as viewer_server
from vkt.viewer import security
from viewer_support import Viewer, camera_file


@pytest.fixture
def viewer(tmp_path):
    running = Viewer(tmp_path)
    yield running
    running.close()


def stalled(port, count, partial=b"GET / HTTP/1.1\r\nHost: 127.0.0.1"):
    """``count`` connections that send the start of a request and no more."""
    sockets = []
    for _ in range(count):
        client = socket.create_connection(("127.0.0.1", port), timeout=10)
        client.sendall(partial)
        sockets.append(client)
    return sockets


def closed_by_server(client, seconds):
    """Whether the server closes ``client`` within ``seconds`` (what it sent
    before closing is read and thrown away)."""
    client.settimeout(seconds)
    try:
        while client.recv(65536):
            pass
    except TimeoutError:
        return False
    except ConnectionResetError:
        pass
    return True


def exchange(port, data, seconds=10):
    """Sends ``data`` on a new connection and reads until the server closes
    it; gives everything read and whether it was closed."""
    with socket.create_connection(("127.0.0.1", port), timeout=seconds) as client:
        client.sendall(data)
        received = b""
        try:
            while chunk := client.recv(65536):
                received += chunk
        except TimeoutError:
            return received, False
        except ConnectionResetError:
            pass
        return received, True


def answers(data):
    """The (status, JSON body) of every answer in ``data``, in order."""
    found = []
    while data:
        head, _, rest = data.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        status = int(lines[0].split()[1])
        headers = {k.lower(): v.strip() for k, _, v in (line.partition(":") for line in lines[1:])}
        length = int(headers.get("content-length", "0"))
        body, data = rest[:length], rest[length:]
        found.append((status, json.loads(body) if body else None))
    return found


def request(viewer, method, path, body=b"", headers=(), token=True):
    lines = ["%s %s HTTP/1.1" % (method, path), "Host: 127.0.0.1:%d" % viewer.port]
    if token:
        lines.append("X-Viewer-Token: " + viewer.token)
    lines += list(headers)
    return ("\r\n".join(lines) + "\r\n\r\n").encode() + body


def post_json(viewer, path, text, token=True):
    body = text.encode()
    return request(viewer, "POST", path, body, ["Content-Type: application/json",
                                                "Content-Length: %d" % len(body)], token)


# ---- stalled and flooding clients ---------------------------------------------------------

def test_three_hundred_stalled_connections_hold_no_threads_and_the_page_still_comes(viewer):
    threads_before = threading.active_count()
    sockets = stalled(viewer.port, 300)
    try:
        page = viewer.get("/")
        assert page.status == 200 and b"vkt live viewer" in page.body
        assert threading.active_count() <= threads_before + 20
    finally:
        for client in sockets:
            client.close()


def test_a_connection_that_stalls_is_closed_after_the_request_time(viewer):
    viewer.server.request_seconds = 0.5
    idle = socket.create_connection(("127.0.0.1", viewer.port), timeout=10)
    sockets = stalled(viewer.port, 3) + [idle]
    slow_body = socket.create_connection(("127.0.0.1", viewer.port), timeout=10)
    slow_body.sendall(post_json(viewer, "/api/open", '{"model": "KTX21"}')[:-5])
    try:
        for client in sockets + [slow_body]:
            assert closed_by_server(client, 20)
        assert viewer.session.board is None
    finally:
        for client in sockets + [slow_body]:
            client.close()


def test_at_the_cap_the_longest_waiting_connection_makes_room(viewer):
    viewer.server.max_connections = 10
    sockets = stalled(viewer.port, 30)
    try:
        assert viewer.get("/").status == 200
        assert closed_by_server(sockets[0], 10)
    finally:
        for client in sockets:
            client.close()


def test_beyond_the_cap_with_every_connection_answering_a_new_one_is_refused(viewer,
                                                                               monkeypatch):
    monkeypatch.setattr(viewer_server, "FRAME_WAIT_SECONDS", 20.0)
    viewer.server.max_connections = 1
    waiting = socket.create_connection(("127.0.0.1", viewer.port), timeout=10)
    try:
        waiting.sendall(request(viewer, "GET", "/api/frame?after=0"))
        deadline = time.monotonic() + 10
        while viewer.server._busy != 1:  # until the long poll is with a handler
            assert time.monotonic() < deadline
            time.sleep(0.01)
        data, closed = exchange(viewer.port, request(viewer, "GET", "/api/state"))
        assert answers(data) == [(503, {"error": "the viewer is busy: too many connections"})]
        assert closed
    finally:
        waiting.close()


def test_with_descriptors_exhausted_the_viewer_still_answers(tmp_path):
    """A viewer process allowed 64 descriptors, with no cap of its own below
    that, while a client holds 120 stalled connections to it."""
    script = textwrap.dedent("""
        import resource, sys
        resource.setrlimit(resource.RLIMIT_NOFILE, (64, 64))
        from vkt import viewer
        server = viewer.make_server()
        server.max_connections = 10000
        print(viewer.address(server, "127.0.0.1"), flush=True)
        server.serve_forever()
    """)
    process = subprocess.Popen([sys.executable, "-c", script], stdout=subprocess.PIPE,
                               text=True, cwd=tmp_path, env=dict(os.environ))
    sockets = []
    try:
        address = process.stdout.readline().strip()
        port = int(address.split(":")[2].split("/")[0])
        token = address.split("token=")[1]
        sockets = stalled(port, 120)
        page = b"GET /?token=%s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % (token.encode(), port)
        for _ in range(3):  # a stalled connection may be closed just as this one comes
            with socket.create_connection(("127.0.0.1", port), timeout=20) as client:
                client.sendall(page)
                head = client.recv(4096)
            if head:
                break
        assert head.startswith(b"HTTP/1.1 200 ")
    finally:
        for client in sockets:
            client.close()
        process.terminate()
        process.wait(10)


# ---- malformed requests -------------------------------------------------------------------

NESTED = "[" * 30000 + "]" * 30000


@pytest.mark.parametrize("make, status, error", [
    (lambda v: post_json(v, "/api/open", NESTED), 400, "send a JSON object"),
    (lambda v: post_json(v, "/api/open", '{"model": "KTX21", "id": %d}' % 10**30), 422,
     "id must be -2147483648 to 2147483647"),
    (lambda v: post_json(v, "/api/open", '{"model": "KTX21", "ch": -%d}' % 10**30), 422,
     "ch must be -2147483648 to 2147483647"),
    (lambda v: post_json(v, "/api/open", '{"model": "KTX21", "camera_file": "a\\u0000b"}'),
     422, "camera_file must be a path"),
    (lambda v: post_json(v, "/api/open", '{"model": "\\udc80"}'), 422,
     "unknown model '\\udc80': one of SNR11, SN2200, TK560, KTX21, KTX22, MR250, Video"),
    (lambda v: post_json(v, "/api/open", '\xff'), 400, "send a JSON object"),
    (lambda v: request(v, "POST", "/api/open", b"5\r\n{}\r\n0\r\n\r\n",
                       ["Transfer-Encoding: chunked", "Content-Type: application/json"]),
     400, "send the body with a Content-Length"),
    (lambda v: request(v, "POST", "/api/open", b"{}", ["Content-Length: 2, 2"]), 400,
     "bad request length"),
    (lambda v: request(v, "POST", "/api/open", b"{}",
                       ["Content-Length: 2", "Content-Length: 3"]), 400, "bad request length"),
    (lambda v: request(v, "POST", "/api/open", b"{}", ["Content-Length: -2"]), 400,
     "bad request length"),
    (lambda v: request(v, "POST", "/api/open", b"{}", ["Content-Length: 10000000"]), 400,
     "bad request length"),
    (lambda v: request(v, "GET", "/", b"", ["X-Padding: " + "a" * 20000]), 400,
     "the request's head is too long"),
    (lambda v: request(v, "GET", "/", b"", ["X-%d: 1" % n for n in range(120)]), 400,
     "Too many headers"),
    (lambda v: b"HELLO\r\n\r\n", 400, "Bad request syntax ('HELLO')"),
    (lambda v: b"GET /\r\n\r\n", 400, "HTTP/1.0 or 1.1 only"),
    (lambda v: request(v, "GET", "/ HTTP/2.0 x"), 400, "Bad request syntax ('GET / HTTP/2.0 x "
                                                       "HTTP/1.1')"),
    (lambda v: request(v, "GET", "/").replace(b"HTTP/1.1", b"HTTP/2.0", 1), 400,
     "Invalid HTTP version (2.0)"),
    (lambda v: request(v, "PUT", "/api/open"), 400, "Unsupported method ('PUT')"),
])
def test_a_malformed_request_is_answered_and_its_connection_closed(viewer, make, status, error):
    vktsim.clear_journal()
    data, closed = exchange(viewer.port, make(viewer))
    assert answers(data) == [(status, {"error": error})]
    assert closed
    assert vktsim.journal() == []
    assert viewer.get("/api/state").status == 200


def test_a_refused_request_body_is_never_read_as_another_request(viewer):
    """The body of a POST refused for its missing token would, read as the
    next request of the connection, open a board."""
    hidden = post_json(viewer, "/api/open", '{"model": "SNR11"}')
    data, closed = exchange(viewer.port, request(
        viewer, "POST", "/api/open", hidden,
        ["Content-Type: application/json", "Content-Length: %d" % len(hidden)], token=False))
    assert answers(data) == [
        (401, {"error": "refused: the token of the viewer's address is missing or wrong"})]
    assert closed
    assert viewer.session.board is None


def test_requests_one_after_another_on_one_connection_are_each_answered(viewer):
    with socket.create_connection(("127.0.0.1", viewer.port), timeout=10) as client:
        client.sendall(request(viewer, "GET", "/api/state") * 2)
        time.sleep(0.2)
        client.sendall(post_json(viewer, "/api/close", '{}'))
        client.sendall(request(viewer, "GET", "/api/state", headers=["Connection: close"]))
        received = b""
        while chunk := client.recv(65536):
            received += chunk
    statuses = [status for status, _ in answers(received)]
    assert statuses == [200, 200, 200, 200]


# ---- names and addresses ------------------------------------------------------------------

@pytest.mark.parametrize("port, host, allowed", [
    (80, "127.0.0.1", True),
    (80, "127.0.0.1:80", True),
    (80, "localhost", True),
    (80, "[::1]", True),
    (80, "127.0.0.1:", True),
    (80, "127.0.0.1:8080", False),
    (80, "attacker.example", False),
    (80, "[::1", False),
    (80, "127.0.0.1:8o", False),
    (8080, "127.0.0.1", False),
    (8080, "127.0.0.1:8080", True),
    (8080, "[::1]:8080", True),
])
def test_host_and_origin_may_leave_out_the_default_port(port, host, allowed):
    gate = security.Gate("127.0.0.1", port, "secret")
    answer = gate.check("/?token=secret", {"Host": host, "Origin": "http://" + host})
    assert (answer is None) == allowed, answer


def test_vkt_view_on_port_80_answers_its_own_address_as_a_browser_sends_it(tmp_path):
    from vkt import viewer
    try:
        server = viewer.make_server("127.0.0.1", 80, tmp_path)
    except PermissionError:
        pytest.skip("port 80 needs privileges here")
    except OSError as error:
        pytest.skip("port 80 is taken: %s" % error)
    thread = viewer_server.run_in_thread(server)
    try:
        data, _ = exchange(80, b"GET /api/state?token=%s HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                               b"Origin: http://127.0.0.1\r\nConnection: close\r\n\r\n"
                           % server.token.encode())
        assert answers(data)[0][0] == 200
    finally:
        server.shutdown()
        server.server_close()
        thread.join(5)


WARNING = ("the viewer is reachable from other machines at {}, and plain HTTP carries its "
           "token unencrypted: anyone who sees the traffic can use the viewer")


@pytest.mark.parametrize("host, warned", [
    ("127.0.0.1", False), ("127.0.0.2", False), ("localhost", False), ("::1", False),
    ("[::1]", False), ("0.0.0.0", True), ("::", True), ("192.0.2.7", True),
    ("no-such-name.invalid", True),
])
def test_the_warning_is_decided_by_address(host, warned):
    assert security.reach_warning(host) == (WARNING.format(host) if warned else None)


# ---- opening boards -----------------------------------------------------------------------

def test_a_board_that_does_not_open_leaves_the_open_board_and_its_capture(viewer, tmp_path):
    viewer.open(model="KTX21", camera_file=camera_file(tmp_path))
    viewer.capture(True)
    first = viewer.frame()
    board, serial = viewer.session.board, viewer.state()["board"]["serial"]
    vktsim.clear_journal()
    answer = viewer.post("/api/open", {"model": "KTX22", "camera_file": str(tmp_path / "no.txt")})
    assert answer.status == 422 and answer.json()["error"].startswith("FileError (9): ")
    assert [name for name, _ in vktsim.journal() if "Stop" in name or "Close" in name] == []
    state = viewer.state()
    assert viewer.session.board is board and state["board"]["serial"] == serial
    assert state["capture"]["running"] is True
    later = viewer.frame(int(first.headers["X-Frame-Sequence"]))
    assert int(later.headers["X-Frame-Number"]) > int(first.headers["X-Frame-Number"])
    viewer.capture(False)


def test_the_open_board_opened_again_with_another_camera_file(viewer, tmp_path):
    viewer.open(model="KTX21", camera_file=camera_file(tmp_path))
    other = tmp_path / "other"
    other.mkdir()
    state = viewer.open(model="KTX21", camera_file=camera_file(other, ExposureTime=555))
    rows = {row["name"]: row.get("value") for row in state["settings"]}
    assert rows["ExposureTime"] == 555


def test_when_the_board_stays_busy_the_board_open_before_is_opened_again(viewer, tmp_path):
    path = camera_file(tmp_path, ExposureTime=321)
    viewer.open(model="KTX21", camera_file=path)
    vktsim.script("CxKTX21::FromFile", raises=5)
    vktsim.script("CxKTX21::FromFile", raises=5)
    vktsim.clear_journal()
    answer = viewer.post("/api/open", {"model": "KTX21", "camera_file": path, "ch": 1})
    assert answer.status == 422 and answer.json()["error"].startswith("DeviceBusy (5): ")
    opened = [args for name, args in vktsim.journal() if name == "CxKTX21::FromFile"]
    assert opened == [(path.encode(), 0, 1, -1), (path.encode(), 0, 1, -1),
                      (path.encode(), 0, 0, -1)]
    rows = {row["name"]: row.get("value") for row in viewer.state(settings=True)["settings"]}
    assert viewer.state()["board"]["model"] == "KTX21" and rows["ExposureTime"] == 321
