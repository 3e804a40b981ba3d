#!/usr/bin/env python3
"""Tindrel2.exe over HTTPS and through a proxy under Wine, as a workshop
reaches the service: a test CA trusted in the prefix, the double serving
HTTPS with certificates made for the run, and a CONNECT proxy on the loopback.

    https_test.py --Tindrel2 Tindrel2.exe --ui_driver ui_driver.exe --trust_ca trust_ca.exe
                  --com_probe com_probe.exe

Needs TINDREL_WINEPREFIX (a prepared prefix), a display (xvfb-run) and
openssl. Prints the job's wall time over HTTPS beside plain HTTP."""

import json
import os
import shutil
import statistics
import subprocess
import sys
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(TESTS, "wine", "harness"))
sys.path.insert(0, os.path.join(TESTS, "double"))
import wine_harness as h  # noqa: E402
import make_certs  # noqa: E402

ARGS = None
CTX = None
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
REASON_LINE = 1005  # the login dialog's reason (app/login_form.h)


def wait_for_file(path, proc, what):
    deadline = time.monotonic() + 15
    while True:
        if os.path.exists(path):
            with open(path) as f:
                text = f.read().strip()
            if text:
                return int(text)
        if proc.poll() is not None or time.monotonic() > deadline:
            raise h.HarnessError(what + " did not start")
        time.sleep(0.05)


def get_json(url, method="GET", body=None):
    data = json.dumps(body).encode() if body is not None else (b"" if method == "POST" else None)
    req = urllib.request.Request(url, data=data, method=method,
                                 headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(req, timeout=10) as reply:
        return json.loads(reply.read().decode("utf-8"))


class TlsDouble:
    """The double serving HTTPS with `cert`; control calls go to its plain port."""

    def __init__(self, cert, key, work, tag):
        self.port_file = os.path.join(work, tag + ".port")
        http_file = os.path.join(work, tag + ".http")
        self.proc = subprocess.Popen(
            ["python3", h.DOUBLE_SCRIPT, "--port", "0", "--port-file", self.port_file,
             "--tls-cert", cert, "--tls-key", key, "--http-port-file", http_file],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.port = wait_for_file(self.port_file, self.proc, "the HTTPS double")
        self.http = "http://127.0.0.1:%d" % wait_for_file(http_file, self.proc, "its plain port")
        self.address = "https://localhost:%d%s" % (self.port, h.SERVICE_PATH)
        self.plain_address = self.http + h.SERVICE_PATH

    def operations(self):
        return [e["operation"] for e in get_json(self.http + "/log")]

    def status(self):
        return get_json(self.http + "/status")

    def reset(self):
        get_json(self.http + "/control", "POST", {"fault": None})
        get_json(self.http + "/reset-log", "POST")

    def control(self, **switches):
        get_json(self.http + "/control", "POST", switches)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


class Proxy:
    def __init__(self, mode, work):
        port_file = os.path.join(work, "proxy-%s.port" % mode)
        self.proc = subprocess.Popen(
            ["python3", os.path.join(TESTS, "double", "connect_proxy.py"), "--port", "0",
             "--port-file", port_file, "--mode", mode, "--schemes", "Basic,NTLM,Negotiate"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.port = wait_for_file(port_file, self.proc, "the proxy")

    def log(self):
        return get_json("http://127.0.0.1:%d/log" % self.port)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


def apply_internet_settings(enable, server=None):
    """The user's proxy; WinInet reads it when a process starts, and the
    wineserver restart ends the driver too, so it starts again."""
    h.run(CTX.env, "reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD",
          "/d", "1" if enable else "0", "/f", timeout=120, check=True)
    if server:
        h.run(CTX.env, "reg", "add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ",
              "/d", server, "/f", timeout=120, check=True)
    CTX.driver.stop()
    h.wineserver(CTX.env, "-k", "-p")
    CTX.driver = h.Driver(ARGS.ui_driver, CTX.env, CTX.work)


class Context:
    def __init__(self):
        self.prefix, self.work, self.env = h.start_run("https")
        self.certs = make_certs.make_certs(os.path.join(self.work, "certs"))
        # Trusting the CA needs a wineserver of its own (see WINE.md).
        h.run(self.env, ARGS.trust_ca, h.windows_path(self.certs["ca.pem"]), timeout=120,
              check=True)
        h.wineserver(self.env, "-k", "-p")
        self.driver = h.Driver(ARGS.ui_driver, self.env, self.work)
        self.cache = h.TokenCache(self.prefix)
        self.date = self.driver.short_date(2030, 12, 31)
        self.good = TlsDouble(self.certs["localhost.pem"], self.certs["server.key"], self.work, "good")

    def write_cache(self, address):
        self.cache.logged_in(address, self.date)

    def stop(self):
        self.driver.stop()
        self.good.stop()
        self.cache.restore()
        h.wineserver(self.env, "-k")
        shutil.rmtree(self.work, ignore_errors=True)


class HttpsTest(unittest.TestCase):
    def run_job(self, address, timeout=60):
        """A one-line job with a cached token; its exit code and wall time."""
        CTX.write_cache(address)
        start = time.monotonic()
        program = h.Program(ARGS.Tindrel2, CTX.env, CTX.work,
                            [h.windows_path(os.path.join(h.DATA, "sample-job.orv"))])
        code = program.wait(timeout)
        elapsed = time.monotonic() - start
        program.kill()
        return code, elapsed

    def refused_with(self, address, expected_reason, failing_saves=2):
        """A job whose saves fail: the login dialog comes back saying why;
        closing it breaks each failing save off."""
        CTX.write_cache(address)
        program = h.Program(ARGS.Tindrel2, CTX.env, CTX.work,
                            [h.windows_path(os.path.join(h.DATA, "sample-job.orv"))])
        try:
            dialog = CTX.driver.find(h.DIALOG, "Login")
            self.assertIsNotNone(dialog, "the login dialog did not come back")
            reason = CTX.driver.text(dialog, REASON_LINE) or ""
            print("  %s" % reason)
            self.assertIn(expected_reason, reason)
            CTX.driver.close(dialog)
            self.assertTrue(CTX.driver.gone(dialog))
            if failing_saves == 2:
                # The second save asks again, with the same reason; broken off too.
                dialog = CTX.driver.find(h.DIALOG, "Login")
                self.assertIsNotNone(dialog)
                CTX.driver.close(dialog)
            self.assertEqual(program.wait(30), 0)
        finally:
            program.kill()
        return reason

    def test_a_job_over_https_is_saved_and_each_request_has_a_connection_of_its_own(self):
        CTX.good.reset()
        https, plain = [], []
        for _ in range(3):
            code, elapsed = self.run_job(CTX.good.address)
            self.assertEqual(code, 0)
            https.append(elapsed)
            code, elapsed = self.run_job(CTX.good.plain_address)
            self.assertEqual(code, 0)
            plain.append(elapsed)
        self.assertEqual(CTX.good.operations(), ["SaveCustomer", "SaveInspection"] * 6)
        # No connection is kept alive, so no save can be sent twice: one TLS
        # handshake per request.
        self.assertEqual(CTX.good.status()["tlsHandshakes"], 6)
        print("  job wall time, median of 3: HTTPS %.0f ms, plain HTTP %.0f ms" % (
            statistics.median(https) * 1000, statistics.median(plain) * 1000))

    def test_an_automation_lookup_over_https(self):
        # The jobs registered the server (every start under Wine is elevated).
        self.assertEqual(self.run_job(CTX.good.address)[0], 0)
        CTX.good.reset()
        probe = subprocess.run(
            h.WINE(ARGS.com_probe, "create", "Tindrel2.ORV_Bil", "call", "Finn", "AB12345",
                   "get", "Merke", "release", "waitend", "20000"),
            env=CTX.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=120)
        lines = probe.stdout.decode("utf-8", errors="replace").replace("\r", "").splitlines()
        self.assertIn("get ok Motorverket", lines)
        self.assertEqual(CTX.good.operations(), ["GetVehicleData"])

    def test_a_save_whose_answer_is_lost_reaches_the_service_once(self):
        # The service reads and carries out the save, then closes the
        # connection without answering: WinInet must not send it again.
        CTX.good.reset()
        CTX.good.control(fault="drop-after-read", count=1, operations=["SaveInspection"])
        self.refused_with(CTX.good.plain_address, "uten å svare", failing_saves=1)
        self.assertEqual(CTX.good.operations().count("SaveInspection"), 1)

    def test_each_bad_certificate_is_refused_with_its_own_text_before_anything_is_sent(self):
        cases = [("selfsigned.pem", "er ikke utstedt av en sertifiseringsinstans"),
                 ("otherhost.pem", "gjelder ikke for vertsnavnet"),
                 ("expired.pem", "er utløpt eller ennå ikke gyldig")]
        for cert, reason in cases:
            with self.subTest(cert=cert):
                bad = TlsDouble(CTX.certs[cert], CTX.certs["server.key"], CTX.work, cert)
                try:
                    self.refused_with(bad.address, reason)
                    self.assertEqual(bad.operations(), [], "a request reached the service")
                finally:
                    bad.stop()
        # The program is usable afterwards.
        CTX.good.reset()
        self.assertEqual(self.run_job(CTX.good.address)[0], 0)
        self.assertEqual(CTX.good.operations(), ["SaveCustomer", "SaveInspection"])

    def test_through_a_proxy_and_a_proxy_that_demands_a_login(self):
        for mode in ("pass", "auth"):
            with self.subTest(mode=mode):
                proxy = Proxy(mode, CTX.work)
                apply_internet_settings(True, "127.0.0.1:%d" % proxy.port)
                CTX.good.reset()
                try:
                    if mode == "pass":
                        self.assertEqual(self.run_job(CTX.good.address)[0], 0)
                        self.assertEqual(CTX.good.operations(), ["SaveCustomer", "SaveInspection"])
                        self.assertIn("CONNECT", [e["method"] for e in proxy.log()])
                    else:
                        self.refused_with(CTX.good.address,
                                          "proxyserveren 127.0.0.1:%d krever pålogging" % proxy.port)
                        self.assertEqual(CTX.good.operations(), [], "the service was reached")
                finally:
                    apply_internet_settings(False)
                    proxy.stop()


if __name__ == "__main__":
    sys.exit(h.run_tests(context=Context))
