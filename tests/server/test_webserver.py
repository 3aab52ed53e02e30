#!/usr/bin/env python3
"""The test web site's own behaviour, through its command line and real
sockets: what the Wine tests do not reach (the faults file, its reload, a
stall before the answer, paths outside the root, start and stop)."""
import http.client
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "webserver.py")


class WebServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.root = os.path.join(cls.work.name, "site")
        cls.faults = os.path.join(cls.work.name, "faults.json")
        cls.state = os.path.join(cls.work.name, "server.state")
        os.makedirs(os.path.join(cls.root, "info"))
        with open(os.path.join(cls.root, "info", "zep.sif"), "wb") as f:
            f.write(b"[Product]\r\nName=ZEP\r\n")
        with open(os.path.join(cls.root, "info", "other.sif"), "wb") as f:
            f.write(b"[Package]\r\nVer=1\r\n")
        with open(os.path.join(cls.work.name, "secret.txt"), "wb") as f:
            f.write(b"outside the root")
        cls.write_faults({"/info/other.sif": {"status": 500}})
        started = subprocess.run([sys.executable, SERVER, "start", "--root", cls.root, "--faults", cls.faults,
                                  "--state", cls.state, "--lifetime", "120"],
                                 capture_output=True, text=True, timeout=30, check=True)
        cls.port = int(started.stdout.strip())

    @classmethod
    def tearDownClass(cls):
        subprocess.run([sys.executable, SERVER, "stop", "--state", cls.state], timeout=30, check=True)
        cls.work.cleanup()

    @classmethod
    def write_faults(cls, table):
        temporary = cls.faults + ".tmp"
        with open(temporary, "w") as f:
            json.dump(table, f)
        os.replace(temporary, cls.faults)

    def get(self, path):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20)
        try:
            connection.request("GET", path)
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    def test_serves_files_below_the_root_only(self):
        status, headers, body = self.get("/info/zep.sif")
        self.assertEqual((200, b"[Product]\r\nName=ZEP\r\n"), (status, body))
        self.assertEqual(str(len(body)), headers["Content-Length"])
        self.assertEqual(404, self.get("/../secret.txt")[0])
        self.assertEqual(404, self.get("/info")[0])

    def test_faults_file_applies_per_path_and_is_read_again_when_it_changes(self):
        self.assertEqual(500, self.get("/info/other.sif")[0])
        self.write_faults({"/info/other.sif": {"cut": 5, "length": "match"}})
        status, headers, body = self.get("/info/other.sif")
        self.assertEqual((200, b"[Pack", "5"), (status, body, headers["Content-Length"]))
        self.write_faults({})
        self.assertEqual((200, b"[Package]\r\nVer=1\r\n"), self.get("/info/other.sif")[::2])

    def test_stall_before_the_answer_delays_it(self):
        started = time.monotonic()
        status, _, body = self.get("/x?size=10&stall_before=0.5")
        self.assertEqual((200, bytes(range(10))), (status, body))
        self.assertGreaterEqual(time.monotonic() - started, 0.5)

    def test_cut_without_matching_length_breaks_the_response(self):
        with self.assertRaises(http.client.IncompleteRead):
            self.get("/x?size=1000&cut=100")
        status, headers, body = self.get("/x?size=1000&cut=100&length=none")
        self.assertEqual((200, 100), (status, len(body)))
        self.assertNotIn("Content-Length", headers)


if __name__ == "__main__":
    unittest.main()
