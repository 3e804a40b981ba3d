#!/usr/bin/env python3
"""Four automation clients call a vehicle lookup at the same time while no
token is cached. The first call opens the login dialog; the others arrive
through its message loop while it is open. Expected: one dialog, with the
keyboard focus in its user-name field; after the UI driver logs in there,
every call succeeds and the service double has seen one Authenticate and
four lookups.

    one_login_test.py --Tindrel2 Tindrel2.exe --ui_driver ui_driver.exe
                      --com_probe com_probe.exe

Needs TINDREL_WINEPREFIX (a prepared prefix) and a display (xvfb-run)."""

import os
import shutil
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None
CLIENTS = 4


class OneLogin(unittest.TestCase):
    def setUp(self):
        self.prefix, self.work, self.env = h.start_run("one-login")
        self.double = h.ServiceDouble(h.DOUBLE_SCRIPT, self.work)
        self.driver = h.Driver(ARGS.ui_driver, self.env, self.work)
        self.cache = h.TokenCache(self.prefix)
        self.cache.write(self.double.address + "\r\n")  # the address only: nobody logged in
        h.run(self.env, ARGS.Tindrel2, "/REGSERVER")
        self.probes = []

    def tearDown(self):
        for p in self.probes:
            p.kill()
        self.driver.stop()
        self.double.stop()
        self.cache.restore()
        h.run(self.env, ARGS.Tindrel2, "/UNREGSERVER")
        h.wineserver(self.env, "-k")
        shutil.rmtree(self.work, ignore_errors=True)

    def start_client(self, n):
        p = h.Probe(ARGS.com_probe, self.env, self.work, "create", "Tindrel2.ORV_Bil",
                    "call", "Finn", "AB12345", "get", "Merke", "release")
        self.probes.append(p)
        line = p.line(90)
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
            lines = p.finish(60)
            self.assertTrue(lines and lines[0].startswith("call ok"), lines)
            self.assertEqual(lines[1:], ["get ok Motorverket", "release ok"])
        self.assertIsNone(self.driver.find(h.DIALOG, "Login", 2000), "a second login dialog")
        ops = self.double.operations()
        print("double saw:", ops)
        self.assertEqual(ops.count("Authenticate"), 1)
        self.assertEqual(sorted(ops), ["Authenticate"] + ["GetVehicleData"] * CLIENTS)
        self.assertEqual(ops[0], "Authenticate")


if __name__ == "__main__":
    sys.exit(h.run_tests())
