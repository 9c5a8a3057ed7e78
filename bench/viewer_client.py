"""A client of the live viewer for the benchmarks: one kept-alive connection
that sends the viewer's token with every request."""
import http.client
import json
from urllib.parse import urlsplit


class Client:
    def __init__(self, url, timeout=60):
        parts = urlsplit(url)
        self.port = parts.port
        self.token = parts.query.split("token=")[1]
        self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def call(self, method, path, body=None):
        """(response, body bytes) of one request; `body` is sent as JSON."""
        headers = {"X-Viewer-Token": self.token}
        data = None
        if body is not None:
            data = json.dumps(body).encode()
            headers["Content-Type"] = "application/json"
        self.connection.request(method, path, data, headers)
        response = self.connection.getresponse()
        return response, response.read()
