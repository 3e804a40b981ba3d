#!/usr/bin/env python3
"""The same program under Wine playing Windows XP, 7 and 10: for each, a new
prefix set to that version (XP in a 32-bit prefix, as XP was; XP x64 for the 64-bit build), then the
registration, an activation with a late-bound call, the login dialog and a
job. Prints one line per check and "N passed, M failed". Takes a few minutes
(a prefix per version); ctest runs it with the default versions, and by hand
under a display:

    xvfb-run -a tests/wine/app/windows_versions.py --build build/win32 [winxp win7 win10]
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import wine_harness as h  # noqa: E402

JOB = "¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711"
VERSION_TEXT = {"winxp": "5.1", "winxp64": "5.2", "win7": "6.1", "win10": "10.0"}


def default_versions():
    """XP as the workshops ran it, 32-bit; the 64-bit build meets the only
    XP that runs 64-bit programs, XP x64 (5.2), in a win64 prefix."""
    return ["winxp" if h.bits() == "32" else "winxp64", "win7", "win10"]


class Checks(h.Checks):
    def check(self, version, what, ok, detail=""):
        return super().check("%-6s %s" % (version, what), ok, detail)


run = h.wine


def one_version(version, build, checks, work):
    exe = h.program(build, "Tindrel2")
    probe = h.program(build, "com_probe")
    driver_exe = h.program(build, "ui_driver")
    prefix = env = double = driver = None
    try:
        prefix, env = h.make_prefix(arch="win32" if version == "winxp" else None, tag=version)
        run(env, "winecfg", "/v", version)
        rc, out = run(env, "cmd", "/c", "ver")
        checks.check(version, "Wine reports the version", VERSION_TEXT[version] in out,
                     out.strip())
        h.wineserver(env, "-p")

        double = h.ServiceDouble(h.DOUBLE_SCRIPT, work)
        driver = h.Driver(driver_exe, env, work)
        valid_to = driver.short_date(2030, 12, 31)
        cache = h.TokenCache(prefix)

        rc, _ = run(env, exe, "/REGSERVER")
        _, clsid = run(env, "reg", "query", r"HKCR\Tindrel2.ORV_Bil\CLSID", "/ve")
        checks.check(version, "registration", rc == 0 and "{" in clsid,
                     clsid.strip().splitlines()[-1] if clsid.strip() else "no ProgID")

        cache.logged_in(double.address, valid_to)
        rc, out = run(env, probe, "create", "Tindrel2.ORV_Bil", "get", "Kjennemerke",
                      "call", "Finn", "AB12345", "get", "Merke", "release", "waitend", "20000")
        lines = out.splitlines()
        checks.check(version, "activation and late-bound calls",
                     len(lines) == 6 and lines[0].startswith("create ok")
                     and lines[3] == "get ok Motorverket" and lines[5].startswith("waitend ok"),
                     " | ".join(lines))

        cache.write(double.address + "\r\n")
        double.reset()
        program = h.Program(exe, env, work, [JOB])
        dialog = driver.find(h.DIALOG, "Login", 30000)
        info = driver.dialog(dialog) if dialog else None
        checks.check(version, "the login dialog", dialog is not None and info is not None
                     and (info["left"], info["top"], info["topmost"]) == (0, 0, True),
                     repr(info))
        if dialog:
            driver.type(dialog, h.LOGIN_USER, "verksted")
            driver.type(dialog, h.LOGIN_PASSWORD, "hemmelig1")
            driver.click(dialog, h.LOGIN_BUTTON)
        rc = program.wait(40)
        program.kill()
        ops = double.operations()
        checks.check(version, "a job", rc == 0 and ops == ["Authenticate", "SaveCustomer",
                                                            "SaveInspection"],
                     "exit %r, %s" % (rc, ops))
        run(env, exe, "/UNREGSERVER")
    except (h.HarnessError, subprocess.TimeoutExpired) as e:
        checks.check(version, "the run", False, str(e))
    finally:
        if driver:
            driver.stop()
        if double:
            double.stop()
        if prefix:
            h.remove_prefix(prefix, env)


def main():
    args = h.arguments()
    checks = Checks()
    work = tempfile.mkdtemp(prefix="tindrel-versions.")
    try:
        versions = args.rest or default_versions()
        if "winxp64" in versions:
            print("winxp  note Windows XP played as XP x64 (winxp64): a 32-bit XP prefix needs "
                  "32-bit code, which this run does not run")
        for version in versions:
            one_version(version, os.path.abspath(args.build), checks, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return checks.summary()


if __name__ == "__main__":
    sys.exit(main())
