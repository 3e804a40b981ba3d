#!/usr/bin/env python3
"""The same program under Wine playing Windows XP, 7 and 10: for each, a new
prefix set to that version (XP in a 32-bit prefix, as XP was), then the
registration, an activation with a late-bound call, the login dialog and a
job. Prints one line per check and "N passed, M failed". Takes a few minutes
(a prefix per version), so it is not part of the ctest run; run it by hand
under a display:

    xvfb-run -a tests/wine_faults/windows_versions.py --build build/win32 [winxp win7 win10]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import wine_harness as h  # noqa: E402

JOB = "¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711"
TOKEN_FIELDS = "Testverkstedet AS\t4242\tverksted\t7\t{date}\tSIG-verksted-1"
VERSION_TEXT = {"winxp": "5.1", "win7": "6.1", "win10": "10.0"}


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, version, what, ok, detail=""):
        print("%-6s %-4s %s%s" % (version, "ok" if ok else "FAIL", what,
                                  (": " + detail) if detail else ""))
        if ok:
            self.passed += 1
        else:
            self.failed += 1


def run(env, *args, timeout=120):
    r = subprocess.run(["wine"] + list(args), env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
    return r.returncode, r.stdout.decode("utf-8", "replace").replace("\r", "")


def one_version(version, build, checks, work):
    exe = os.path.join(build, "app", "Tindrel2.exe")
    probe = os.path.join(build, "tests", "wine_faults", "com_probe.exe")
    driver_exe = os.path.join(build, "tests", "e2e", "ui_driver.exe")
    prefix = tempfile.mkdtemp(prefix="tindrel-%s." % version)
    env = h.wine_env(prefix)
    if version == "winxp":
        env["WINEARCH"] = "win32"
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    double = driver = None
    try:
        subprocess.run(["wineboot", "-i"], env=env, timeout=300, **quiet)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120, **quiet)
        run(env, "winecfg", "/v", version)
        rc, out = run(env, "cmd", "/c", "ver")
        checks.check(version, "Wine reports the version", VERSION_TEXT[version] in out,
                     out.strip())
        subprocess.run(["wineserver", "-p"], env=env, timeout=30, **quiet)

        double = h.ServiceDouble(os.path.join(ROOT, "tests", "double", "service_double.py"),
                                 work)
        driver = h.Driver(driver_exe, env, work)
        valid_to = driver.short_date(2030, 12, 31)
        cache = os.path.join(h.roaming_folder(prefix), "ORV_AS", "Tindrel2.dat")
        os.makedirs(os.path.dirname(cache), exist_ok=True)

        rc, _ = run(env, exe, "/REGSERVER")
        _, clsid = run(env, "reg", "query", r"HKCR\Tindrel2.ORV_Bil\CLSID", "/ve")
        checks.check(version, "registration", rc == 0 and "{" in clsid,
                     clsid.strip().splitlines()[-1] if clsid.strip() else "no ProgID")

        with open(cache, "wb") as f:
            f.write((double.address + "\r\n" + TOKEN_FIELDS.format(date=valid_to))
                    .encode("latin-1"))
        rc, out = run(env, probe, "create", "Tindrel2.ORV_Bil", "get", "Kjennemerke",
                      "call", "Finn", "AB12345", "get", "Merke", "release", "waitend", "20000")
        lines = out.splitlines()
        checks.check(version, "activation and late-bound calls",
                     len(lines) == 6 and lines[0].startswith("create ok")
                     and lines[3] == "get ok Motorverket" and lines[5].startswith("waitend ok"),
                     " | ".join(lines))

        with open(cache, "wb") as f:
            f.write((double.address + "\r\n").encode("latin-1"))
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
        subprocess.run(["wineserver", "-k"], env=env, timeout=30, **quiet)
        shutil.rmtree(prefix, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True, help="the cross build tree")
    ap.add_argument("versions", nargs="*", default=["winxp", "win7", "win10"])
    args = ap.parse_args()
    checks = Checks()
    work = tempfile.mkdtemp(prefix="tindrel-versions.")
    try:
        for version in args.versions:
            one_version(version, os.path.abspath(args.build), checks, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
