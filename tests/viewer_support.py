"""A viewer served on a thread of the test process, and a plain HTTP client
for it, so that a test sees the simulated library's journal of what the
viewer's requests did."""
import http.client
import json
import pathlib
import time

from vkt import viewer
from vkt.viewer.server import run_in_thread

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"


class Answer:
    def __init__(self, response):
        self.status = response.status
        self.headers = response.headers
        self.body = response.read()

    def json(self):
        return json.loads(self.body)


class Viewer:
    """The running viewer and requests to it; every request names the
    viewer's own Host and carries the token unless told otherwise."""

    def __init__(self, folder):
        self.server = viewer.make_server("127.0.0.1", 0, pathlib.Path(folder))
        self.thread = run_in_thread(self.server)
        self.port = self.server.port
        self.token = self.server.token
        self.session = self.server.session

    @property
    def url(self):
        return viewer.address(self.server, "127.0.0.1")

    def request(self, method, path, body=None, headers=None, token=True):
        sent = {"Host": "127.0.0.1:%d" % self.port}
        if token:
            sent["X-Viewer-Token"] = self.token
        data = None
        if body is not None:
            data = json.dumps(body).encode()
            sent["Content-Type"] = "application/json"
        sent.update(headers or {})
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        try:
            connection.putrequest(method, path, skip_host=True)
            for name, value in sent.items():
                if value is not None:
                    connection.putheader(name, value)
            connection.putheader("Content-Length", str(len(data or b"")))
            connection.endheaders(data)
            return Answer(connection.getresponse())
        finally:
            connection.close()

    def get(self, path, **options):
        return self.request("GET", path, **options)

    def post(self, path, body, **options):
        return self.request("POST", path, body, **options)

    def state(self, settings=False):
        answer = self.get("/api/state" + ("?settings=1" if settings else ""))
        assert answer.status == 200, answer.body
        return answer.json()

    def open(self, **request):
        answer = self.post("/api/open", request)
        assert answer.status == 200, answer.body
        return answer.json()

    def capture(self, run):
        answer = self.post("/api/capture", {"run": run})
        assert answer.status == 200, answer.body
        return answer.json()

    def frame(self, after=0):
        answer = self.get("/api/frame?after=%d" % after)
        assert answer.status == 200, (answer.status, answer.body)
        return answer

    def wait_for(self, predicate, seconds=5.0):
        """The first state for which ``predicate`` holds, polled for ``seconds``."""
        deadline = time.monotonic() + seconds
        while True:
            state = self.state()
            if predicate(state):
                return state
            assert time.monotonic() < deadline, state
            time.sleep(0.02)

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        self.session.close({})
        self.thread.join(5)


def camera_file(folder, model="KTX21", **settings):
    """A camera file of a small free-running camera (50 frames/s unless told)."""
    values = {"Width": 64, "Height": 48, "BitWidth": 8, "TriggerMode": 0,
              "ExposureTime": 100, "TriggerCycleTime": 20000, "Timeout": 2000}
    if model == "MR250":
        values = {"Width": 64, "Height": 48, "TriggerMode": 0, "HCycle": 1000,
                  "VCycle": 100, "Timeout": 2000}
    values.update(settings)
    lines = ["[%s]" % model] + ["%s = %s" % item for item in values.items()]
    path = pathlib.Path(folder) / ("%s_camera.txt" % model.lower())
    path.write_text("\n".join(lines) + "\n")
    return str(path)
