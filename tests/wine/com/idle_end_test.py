#!/usr/bin/env python3
"""An automation instance ends by itself when it has no live object for the
idle time, shortened here through TINDREL_AUTOMATION_IDLE_MS (the one place
the program reads it): started with -Embedding and no client, it ends and
frees "mxTindrel2", so a command-line job started afterwards is saved; an
instance that serves an object outlives the idle time and ends at the
object's release.

    idle_end_test.py --exe Tindrel2.exe --driver ui_driver.exe
                     --probe com_probe.exe --double service_double.py

Needs TINDREL_WINEPREFIX (a prepared prefix) and a display (xvfb-run)."""

import argparse
import os
import shutil
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None
IDLE_MS = "2000"
JOB = "¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711"


def run_wine(env, *args, timeout=60):
    return subprocess.run(h.WINE(*args), env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)


class IdleEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix, cls.work, cls.env = h.start_run("idle")
        cls.double = h.ServiceDouble(ARGS.double, cls.work)
        cls.driver = h.Driver(ARGS.driver, cls.env, cls.work)
        cls.folder = os.path.join(h.roaming_folder(cls.prefix), "ORV_AS")
        cls.cache = os.path.join(cls.folder, "Tindrel2.dat")
        cls.saved_cache = None
        if os.path.exists(cls.cache):
            with open(cls.cache, "rb") as f:
                cls.saved_cache = f.read()
        os.makedirs(cls.folder, exist_ok=True)
        token = h.TOKEN_FIELDS.format(date=cls.driver.short_date(2030, 12, 31))
        with open(cls.cache, "wb") as f:
            f.write((cls.double.address + "\r\n" + token).encode("latin-1"))
        run_wine(cls.env, ARGS.exe, "/REGSERVER")
        cls.idle_env = dict(cls.env, TINDREL_AUTOMATION_IDLE_MS=IDLE_MS)

    @classmethod
    def tearDownClass(cls):
        cls.driver.stop()
        cls.double.stop()
        if cls.saved_cache is None:
            os.remove(cls.cache)
        else:
            with open(cls.cache, "wb") as f:
                f.write(cls.saved_cache)
        run_wine(cls.env, ARGS.exe, "/UNREGSERVER")
        subprocess.run(["wineserver", "-k"], env=cls.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.double.reset()
        # No instance of an earlier test may hold the mutex.
        out = run_wine(self.env, ARGS.probe, "waitend", "30000", timeout=60)
        self.assertIn(b"waitend ok", out.stdout)

    def test_an_instance_without_a_client_ends_and_a_later_job_is_saved(self):
        server = h.Program(ARGS.exe, self.idle_env, self.work, ["-Embedding"])
        try:
            self.assertEqual(server.wait(40), 0, "the idle instance did not end")
        finally:
            server.kill()
        job = h.Program(ARGS.exe, self.env, self.work, [JOB])
        try:
            rc = job.wait(60)
            self.assertEqual(rc, 0, "the job did not end; visible: %r" % self.driver.windows())
        finally:
            job.kill()
        print("double saw:", self.double.operations())
        self.assertEqual(self.double.operations(), ["SaveCustomer", "SaveInspection"])

    def test_an_instance_serving_an_object_outlives_the_idle_time(self):
        # The client starts the server (under Wine the server inherits the
        # client's environment, the shortened time with it) and holds an
        # object well past the idle time.
        out = run_wine(self.idle_env, ARGS.probe, "create", "Tindrel2.ORV_Kontroll2",
                       "sleep", "6000", "servers", "get", "Kontrollnr", "release",
                       "waitend", "20000", timeout=120)
        lines = out.stdout.decode("utf-8").replace("\r", "").splitlines()
        self.assertEqual([line.split(" ")[:2] for line in lines],
                         [["create", "ok"], ["sleep", "ok"], ["servers", "ok"], ["get", "ok"],
                          ["release", "ok"], ["waitend", "ok"]], lines)
        self.assertEqual(lines[2], "servers ok 1")


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
