#!/usr/bin/env python3
"""Four automation clients call a vehicle lookup at the same time while no
token is cached. The first call opens the login dialog; the others arrive
through its message loop while it is open. Expected: one dialog, with the
keyboard focus in its user-name field; after the UI driver logs in there,
every call succeeds and the service double has seen one Authenticate and
four lookups.

    one_login_test.py --exe Tindrel2.exe --driver ui_driver.exe
                      --probe com_probe.exe --double service_double.py

Needs TINDREL_WINEPREFIX (a prepared prefix) and a display (xvfb-run)."""

import argparse
import os
import select
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None
CLIENTS = 4


def read_line(proc, timeout):
    """One answer line of com_probe.exe, or HarnessError after `timeout`."""
    data = b""
    deadline = time.monotonic() + timeout
    fd = proc.stdout.fileno()
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise h.HarnessError("com_probe gave no answer")
        chunk = os.read(fd, 1)
        if not chunk:
            raise h.HarnessError("com_probe ended")
        data += chunk
    return data.decode("utf-8").rstrip("\r\n")


def run_wine(env, *args):
    subprocess.run(h.WINE(*args), env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)


class OneLogin(unittest.TestCase):
    def setUp(self):
        self.prefix, self.work, self.env = h.start_run("one-login")
        self.double = h.ServiceDouble(ARGS.double, self.work)
        self.driver = h.Driver(ARGS.driver, self.env, self.work)
        self.folder = os.path.join(h.roaming_folder(self.prefix), "ORV_AS")
        self.cache = os.path.join(self.folder, "Tindrel2.dat")
        self.saved_cache = None
        if os.path.exists(self.cache):
            with open(self.cache, "rb") as f:
                self.saved_cache = f.read()
        os.makedirs(self.folder, exist_ok=True)
        with open(self.cache, "wb") as f:  # the address only: nobody logged in
            f.write((self.double.address + "\r\n").encode("latin-1"))
        run_wine(self.env, ARGS.exe, "/REGSERVER")
        self.probes = []

    def tearDown(self):
        for p in self.probes:
            if p.poll() is None:
                p.kill()
                p.wait()
        self.driver.stop()
        self.double.stop()
        if self.saved_cache is None:
            os.remove(self.cache)
        else:
            with open(self.cache, "wb") as f:
                f.write(self.saved_cache)
        run_wine(self.env, ARGS.exe, "/UNREGSERVER")
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        shutil.rmtree(self.work, ignore_errors=True)

    def start_client(self, n):
        stderr = open(os.path.join(self.work, "probe%d.stderr" % n), "ab")
        p = subprocess.Popen(
            h.WINE(ARGS.probe, "create", "Tindrel2.ORV_Bil", "call", "Finn", "AB12345",
                   "get", "Merke", "release"),
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=stderr)
        stderr.close()
        self.probes.append(p)
        line = read_line(p, 90)
        self.assertTrue(line.startswith("create ok"), line)
        return p

    def test_clients_calling_at_once_share_one_login_dialog(self):
        self.start_client(0)
        dialog = self.driver.find(h.DIALOG, "Login", 30000)
        self.assertIsNotNone(dialog, "no login dialog")
        for n in range(1, CLIENTS):
            self.start_client(n)
        # The later calls are inside the server, waiting, before anyone answers.
        time.sleep(3)
        self.assertEqual(self.double.operations(), [])
        shown = self.driver.dialog(dialog)
        self.assertEqual(shown["focus"], h.LOGIN_USER, "the dialog does not have the focus")

        self.assertTrue(self.driver.type(dialog, h.LOGIN_USER, "verksted"))
        self.assertTrue(self.driver.type(dialog, h.LOGIN_PASSWORD, "hemmelig1"))
        self.driver.click(dialog, h.LOGIN_BUTTON)
        self.assertTrue(self.driver.gone(dialog), "the login dialog stayed open")
        for p in self.probes:
            out, _ = p.communicate(timeout=60)
            lines = out.decode("utf-8").replace("\r", "").splitlines()
            self.assertTrue(lines and lines[0].startswith("call ok"), lines)
            self.assertEqual(lines[1:], ["get ok Motorverket", "release ok"])
        self.assertIsNone(self.driver.find(h.DIALOG, "Login", 2000), "a second login dialog")
        ops = self.double.operations()
        print("double saw:", ops)
        self.assertEqual(ops.count("Authenticate"), 1)
        self.assertEqual(sorted(ops), ["Authenticate"] + ["GetVehicleData"] * CLIENTS)
        self.assertEqual(ops[0], "Authenticate")


def main():
    global ARGS
    ap = argparse.ArgumentParser()
    for name in ("exe", "driver", "probe", "double"):
        ap.add_argument("--" + name, required=True)
    ARGS, rest = ap.parse_known_args()
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    failed = len(result.failures) + len(result.errors)
    print("%d passed, %d failed" % (result.testsRun - failed, failed))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
