#!/usr/bin/env python3
"""An automation instance ends by itself when it has no live object for the
idle time, shortened here through TINDREL_AUTOMATION_IDLE_MS (the one place
the program reads it): started with -Embedding and no client, it ends and
frees "mxTindrel2", so a command-line job started afterwards is saved; an
instance that serves an object outlives the idle time and ends at the
object's release.

    idle_end_test.py --Tindrel2 Tindrel2.exe --ui_driver ui_driver.exe
                     --com_probe com_probe.exe

Needs TINDREL_WINEPREFIX (a prepared prefix) and a display (xvfb-run)."""

import os
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None
IDLE_MS = "2000"
JOB = "¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711"


class IdleEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix, cls.work, cls.env = h.start_run("idle")
        cls.double = h.ServiceDouble(h.DOUBLE_SCRIPT, cls.work)
        cls.driver = h.Driver(ARGS.ui_driver, cls.env, cls.work)
        cls.cache = h.TokenCache(cls.prefix)
        cls.cache.logged_in(cls.double.address, cls.driver.short_date(2030, 12, 31))
        h.run(cls.env, ARGS.Tindrel2, "/REGSERVER")
        cls.idle_env = dict(cls.env, TINDREL_AUTOMATION_IDLE_MS=IDLE_MS)

    @classmethod
    def tearDownClass(cls):
        cls.driver.stop()
        cls.double.stop()
        cls.cache.restore()
        h.run(cls.env, ARGS.Tindrel2, "/UNREGSERVER")
        h.wineserver(cls.env, "-k")
        shutil.rmtree(cls.work, ignore_errors=True)

    def setUp(self):
        self.double.reset()
        # No instance of an earlier test may hold the mutex.
        out = h.run(self.env, ARGS.com_probe, "waitend", "30000", timeout=60)
        self.assertIn(b"waitend ok", out.stdout)

    def test_an_instance_without_a_client_ends_and_a_later_job_is_saved(self):
        server = h.Program(ARGS.Tindrel2, self.idle_env, self.work, ["-Embedding"])
        try:
            self.assertEqual(server.wait(40), 0, "the idle instance did not end")
        finally:
            server.kill()
        job = h.Program(ARGS.Tindrel2, self.env, self.work, [JOB])
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
        out = h.run(self.idle_env, ARGS.com_probe, "create", "Tindrel2.ORV_Kontroll2",
                    "sleep", "6000", "servers", "get", "Kontrollnr", "release",
                    "waitend", "20000", timeout=120)
        lines = out.stdout.decode("utf-8").replace("\r", "").splitlines()
        self.assertEqual([line.split(" ")[:2] for line in lines],
                         [["create", "ok"], ["sleep", "ok"], ["servers", "ok"], ["get", "ok"],
                          ["release", "ok"], ["waitend", "ok"]], lines)
        self.assertEqual(lines[2], "servers ok 1")


if __name__ == "__main__":
    sys.exit(h.run_tests())
