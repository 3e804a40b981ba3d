#!/usr/bin/env python3
"""End-to-end tests of Tindrel2.exe under Wine: the real windows, driven as a
user would drive them, against the service double on loopback.

    e2e_test.py --Tindrel2 Tindrel2.exe --ui_driver ui_driver.exe

Needs TINDREL_WINEPREFIX (a prepared prefix) and a display (xvfb-run)."""

import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine_harness as h  # noqa: E402

ARGS = None
CTX = None

REFUSAL = "Kjøretøyet har allerede en åpen kontroll"


class Context:
    """What the whole run shares: prefix, double, driver."""

    def __init__(self):
        self.prefix, self.work, self.env = h.start_run("e2e")
        self.double = h.ServiceDouble(h.DOUBLE_SCRIPT, self.work)
        self.driver = h.Driver(ARGS.ui_driver, self.env, self.work)
        self.token_cache = h.TokenCache(self.prefix)
        self.cache = self.token_cache.path
        self.valid_to = self.driver.short_date(2030, 12, 31)
        if not self.valid_to:
            raise h.HarnessError("no short date from the driver")

    def read_cache(self):
        return self.token_cache.read()

    def write_cache(self, content):
        self.token_cache.write(content)

    def token_line(self):
        return h.TOKEN_FIELDS.format(date=self.valid_to)

    def stop(self):
        self.driver.stop()
        self.double.stop()
        # Leave the prefix's cache as it was found.
        self.token_cache.restore()
        h.wineserver(self.env, "-k")
        shutil.rmtree(self.work, ignore_errors=True)


class WindowsTest(unittest.TestCase):
    def setUp(self):
        self.ctx = CTX
        self.d = CTX.driver
        self.double = CTX.double
        self.double.reset()
        self.program = None

    def tearDown(self):
        if self.program is not None:
            if self.program.running():
                # A window was left open: close it so the next test can start
                # (the program allows one instance).
                self.program.kill()
                h.wineserver(CTX.env, "-k", "-p")
                CTX.driver.stop()
                CTX.driver = h.Driver(ARGS.ui_driver, CTX.env, CTX.work)
            else:
                self.program.kill()

    # Helpers

    def cache_with_address(self, address=None):
        self.ctx.write_cache((address or self.double.address) + "\r\n")

    def cache_with_token(self, address=None):
        self.ctx.write_cache((address or self.double.address) + "\r\n" + self.ctx.token_line())

    def start(self, *args):
        self.program = h.Program(ARGS.Tindrel2, CTX.env, CTX.work, args)
        return self.program

    def job_file(self, name):
        return h.windows_path(os.path.join(h.DATA, name))

    def main_window(self):
        hwnd = self.d.find(h.MAIN_CLASS, h.MAIN_TITLE)
        self.assertIsNotNone(hwnd, "the main window did not appear")
        return hwnd

    def labels(self, hwnd):
        return tuple(self.d.text(hwnd, c) for c in (
            h.LOGGED_IN_LABEL, h.USERNAME_LABEL, h.COMPANY_LABEL, h.MAIN_LOGIN_BUTTON))

    def expect_labels(self, hwnd, expected, timeout=10):
        # The refresh is posted: poll until it has been handled.
        import time
        deadline = time.monotonic() + timeout
        while True:
            got = self.labels(hwnd)
            if got == expected or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        self.assertEqual(got, expected)

    def dialog_info(self, hwnd, timeout=5):
        # The dialog is visible a moment before it takes the focus.
        import time
        deadline = time.monotonic() + timeout
        while True:
            info = self.d.dialog(hwnd)
            if info is None or info["focus"] or time.monotonic() > deadline:
                return info
            time.sleep(0.05)

    def login_dialog(self):
        hwnd = self.d.find(h.DIALOG, "Login")
        self.assertIsNotNone(hwnd, "the login dialog did not appear")
        return hwnd

    def log_in(self, user="verksted", password="hemmelig1", enter=False):
        dialog = self.login_dialog()
        self.assertTrue(self.d.type(dialog, h.LOGIN_USER, user))
        self.assertTrue(self.d.type(dialog, h.LOGIN_PASSWORD, password))
        if enter:
            self.d.key(dialog, h.LOGIN_PASSWORD, h.VK_RETURN)
        else:
            self.d.click(dialog, h.LOGIN_BUTTON)
        self.assertTrue(self.d.gone(dialog), "the login dialog stayed open")

    def close_login_dialog(self):
        dialog = self.login_dialog()
        self.d.close(dialog)
        self.assertTrue(self.d.gone(dialog))

    def answer_message(self, title, expected_text=None):
        box = self.d.find(h.DIALOG, title)
        self.assertIsNotNone(box, "no message box " + title)
        text = self.d.message(box)
        if expected_text is not None:
            self.assertEqual(text, expected_text)
        self.d.click(box, 1)  # OK
        self.assertTrue(self.d.gone(box))
        return text

    def expect_exit(self, timeout=30):
        rc = self.program.wait(timeout)
        self.assertIsNotNone(rc, "the program did not end by itself")
        self.assertEqual(rc, 0)

    def close_main(self, hwnd):
        self.d.close(hwnd)
        self.expect_exit()

    def requests(self):
        return [(e["operation"], h.params(e)) for e in self.double.log()]

    LOGGED_OUT = ("Ikke innlogget:", "", "", "Log Inn")
    LOGGED_IN = ("Logget inn som:", "verksted", "Testverkstedet AS", "Bytt bruker")


class MainWindow(WindowsTest):
    def test_first_start_without_a_cache_shows_the_logged_out_window(self):
        self.ctx.write_cache(None)
        self.start()
        main = self.main_window()
        self.expect_labels(main, self.LOGGED_OUT)
        self.assertEqual(self.d.text(main, h.REGISTRER_BUTTON), "Registrer")
        self.close_main(main)
        self.assertIsNone(self.ctx.read_cache())
        self.assertEqual(self.double.operations(), [])

    def test_login_from_the_window_writes_the_cache_and_changes_the_labels(self):
        self.cache_with_address()
        self.start()
        main = self.main_window()
        self.expect_labels(main, self.LOGGED_OUT)
        self.d.click(main, h.MAIN_LOGIN_BUTTON)
        dialog = self.login_dialog()

        self.assertEqual(self.d.text(dialog, h.LOGIN_USER_LABEL), "Brukernavn")
        self.assertEqual(self.d.text(dialog, h.LOGIN_PASSWORD_LABEL), "Passord")
        self.assertEqual(self.d.text(dialog, h.LOGIN_BUTTON), "Login")
        info = self.dialog_info(dialog)
        self.assertEqual((info["left"], info["top"]), (0, 0))
        self.assertTrue(info["topmost"])
        self.assertEqual(info["focus"], h.LOGIN_USER)
        self.assertEqual(info["mask"], "*")
        # Escape does not close it.
        self.d.key(dialog, h.LOGIN_USER, h.VK_ESCAPE)
        self.assertFalse(self.d.gone(dialog, 500))

        self.log_in(enter=True)
        self.expect_labels(main, self.LOGGED_IN)
        self.assertEqual(self.ctx.read_cache(),
                         (self.double.address + "\r\n" + self.ctx.token_line()).encode("latin-1"))
        self.assertFalse(os.path.exists(self.ctx.cache + ".tmp"))
        [(op, p)] = self.requests()
        self.assertEqual(op, "Authenticate")
        self.assertEqual(p["userName"], "verksted")
        self.assertTrue(p["salt"])
        self.close_main(main)

    def test_a_cached_token_shows_at_once_and_a_failed_relogin_logs_out(self):
        self.cache_with_token()
        before = self.ctx.read_cache()
        self.start()
        main = self.main_window()
        self.expect_labels(main, self.LOGGED_IN)
        # Closing the dialog changes nothing.
        self.d.click(main, h.MAIN_LOGIN_BUTTON)
        self.close_login_dialog()
        self.expect_labels(main, self.LOGGED_IN)
        # A wrong password: logged out, but the cache keeps the older token.
        self.d.click(main, h.MAIN_LOGIN_BUTTON)
        self.log_in(password="feil")
        self.expect_labels(main, self.LOGGED_OUT)
        self.assertEqual(self.ctx.read_cache(), before)
        self.close_main(main)

    def test_in_automation_mode_the_window_exists_but_is_never_shown(self):
        self.cache_with_token()
        self.start("-Embedding")
        found = self.d.exists(h.MAIN_CLASS, h.MAIN_TITLE)
        self.assertIsNotNone(found, "no main window")
        hwnd, visible = found
        self.assertFalse(visible)
        # Its labels follow the session all the same.
        self.expect_labels(hwnd, self.LOGGED_IN)
        self.close_main(hwnd)

    def test_an_unreachable_service_during_login_is_shown_and_the_window_stays(self):
        self.cache_with_address("http://127.0.0.1:9" + h.SERVICE_PATH)
        self.start()
        main = self.main_window()
        self.d.click(main, h.MAIN_LOGIN_BUTTON)
        self.log_in()
        text = self.answer_message("Tindrel 2.0")
        self.assertTrue(text)
        self.expect_labels(main, self.LOGGED_OUT)
        self.close_main(main)


class JobMode(WindowsTest):
    def saved(self):
        return [(op, p) for op, p in self.requests() if op != "Authenticate"]

    def test_one_line_job_file_asks_for_a_login_and_saves_customer_then_inspection(self):
        self.cache_with_address()
        self.start(self.job_file("sample-job.orv"))
        self.log_in()
        self.expect_exit()
        ops = self.double.operations()
        self.assertEqual(ops, ["Authenticate", "SaveCustomer", "SaveInspection"])
        (_, customer), (_, inspection) = self.saved()
        self.assertEqual(customer["customerData"]["CustomerNo"], "1001")
        self.assertEqual(customer["customerData"]["Name"], "Nordmann")
        self.assertEqual(inspection["inspectionData"]["RegNo"], "AB12345")
        self.assertEqual(inspection["inspectionData"]["PreviousInspectionNo"], "1234567890")
        self.assertTrue(self.ctx.read_cache().endswith(b"SIG-verksted-1"))

    def test_key_value_job_file_with_a_cached_token_needs_no_login(self):
        self.cache_with_token()
        self.start(self.job_file("sample-job-keyvalue.orv"))
        for text in ("Key: KUNDENR ,Value: 1002", "Key: FORNAVN ,Value: Ola",
                     "Key: NAVN ,Value: Hansen", "Key: KJMERKE ,Value: CD67890",
                     "Key: CHASSISNR ,Value: VIN0000000000002"):
            self.answer_message("Tindrel 2.0", text)
        self.expect_exit()
        self.assertEqual(self.double.operations(), ["SaveCustomer", "SaveInspection"])
        (_, customer), (_, inspection) = self.saved()
        self.assertEqual(customer["customerData"]["FirstName"], "Ola")
        self.assertEqual(inspection["inspectionData"]["RegNo"], "CD67890")

    def test_command_line_job_with_a_cached_token(self):
        self.cache_with_token()
        self.start("¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711")
        self.expect_exit()
        self.assertEqual(self.double.operations(), ["SaveCustomer", "SaveInspection"])
        (_, customer), (_, inspection) = self.saved()
        self.assertEqual(customer["customerData"]["CustomerNo"], "1003")
        self.assertEqual(inspection["inspectionData"]["OrderNo"], "4711")
        self.assertEqual(inspection["inspectionData"]["PreviousInspectionNo"], "0000000000")

    def test_closing_the_login_dialog_breaks_both_saves_off(self):
        self.cache_with_address()
        self.start(self.job_file("sample-job.orv"))
        # No window of the program is visible: the dialog still comes up in
        # the corner, on top and with the focus.
        info = self.dialog_info(self.login_dialog())
        self.assertEqual((info["left"], info["top"], info["topmost"], info["focus"]),
                         (0, 0, True, h.LOGIN_USER))
        self.close_login_dialog()  # the customer
        self.close_login_dialog()  # the inspection
        self.expect_exit()
        self.assertEqual(self.double.operations(), [])

    def test_a_refused_inspection_shows_the_services_reason(self):
        self.cache_with_token()
        self.start("¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤NEKT123¤VIN0003¤¤4711")
        box = self.d.find(h.DIALOG, "Kunne ikke opprette kontroll!")
        self.assertIsNotNone(box)
        self.assertTrue(self.d.dialog(box)["topmost"])
        self.answer_message("Kunne ikke opprette kontroll!", REFUSAL)
        self.expect_exit()
        self.assertEqual(self.double.operations(), ["SaveCustomer", "SaveInspection"])

    def test_a_failed_save_is_repeated_after_a_new_login(self):
        self.cache_with_token()
        self.double.control(fault="http500", count=1, operations=["SaveCustomer"])
        self.start(self.job_file("sample-job.orv"))
        self.log_in()
        self.expect_exit()
        self.assertEqual(self.double.operations(),
                         ["SaveCustomer", "Authenticate", "SaveCustomer", "SaveInspection"])

    def test_a_service_that_is_down_during_the_login_ends_the_job_with_the_error(self):
        self.cache_with_address("http://127.0.0.1:9" + h.SERVICE_PATH)
        self.start(self.job_file("sample-job.orv"))
        self.log_in()
        text = self.answer_message("Tindrel 2.0")
        self.assertTrue(text)
        self.expect_exit()
        self.assertIsNone(self.d.find(h.MAIN_CLASS, h.MAIN_TITLE, 200))


if __name__ == "__main__":
    sys.exit(h.run_tests(context=Context))
