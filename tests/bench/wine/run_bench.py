#!/usr/bin/env python3
"""Runs bench_wine.exe in a prepared Wine prefix (run by scripts/bench-wine,
under xvfb-run): the service double on loopback, the token cache written,
both servers registered, the request bodies of a real job's two saves taken
from the double's log for the bare round trips. Leaves the prefix as it found
it apart from what Wine itself keeps.

    run_bench.py --prefix P --exe Tindrel2.exe --floor floor_server.exe
                 --bench bench_wine.exe --driver ui_driver.exe
                 --double service_double.py [--runs N]"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "wine", "harness"))
import wine_harness as h  # noqa: E402

JOB = "¤1003¤Per¤Olav¤Berg¤Bygata2¤5003¤Bergen¤AB12345¤VIN0003¤¤4711"


def as_shipped(exe, work):
    """A copy of `exe` without debug sections, as the shipped program is
    (Release links with -s). Under Wine a RelWithDebInfo program's DWARF
    sections count in its working set and its start: 17 MB of the x86_64
    server's 54 MB, measured; no user's program carries them."""
    folder = os.path.join(work, "as-shipped")
    os.makedirs(folder, exist_ok=True)
    copy = os.path.join(folder, os.path.basename(exe))
    triple = "x86_64-w64-mingw32" if h.bits() == "64" else "i686-w64-mingw32"
    subprocess.run([triple + "-objcopy", "--strip-debug", exe, copy], check=True)
    return copy


def main():
    ap = argparse.ArgumentParser()
    for name in ("prefix", "exe", "floor", "bench", "driver", "double"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--runs", type=int, default=7)
    args = ap.parse_args()

    env = h.wine_env(args.prefix)
    work = tempfile.mkdtemp(prefix="tindrel-bench-wine.")
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL)

    def wine(*a, timeout=120):
        return subprocess.run(h.WINE(*a), env=env, timeout=timeout, **quiet).returncode

    h.wineserver(env, "-k", "-p")
    double = h.ServiceDouble(args.double, work)
    status = 1
    try:
        args.exe = as_shipped(args.exe, work)
        args.floor = as_shipped(args.floor, work)
        driver = h.Driver(args.driver, env, work)
        valid_to = driver.short_date(2030, 12, 31)
        driver.stop()
        h.TokenCache(args.prefix).logged_in(double.address, valid_to)
        # Xvfb has no window manager. Wine would wait up to 2 s for one to
        # withdraw every window that is hidden (the job's main window), so
        # the prefix is told that windows are not managed.
        wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        if wine(args.exe, "/REGSERVER") != 0 or wine(args.floor, "/register") != 0:
            raise h.HarnessError("registration failed")

        # The bytes of a real job's two saves, for the bare round trips.
        if wine(args.exe, JOB) != 0:
            raise h.HarnessError("the job did not run")
        log = double.log()
        bodies = {}
        for entry in log:
            if entry["operation"] in ("SaveCustomer", "SaveInspection"):
                bodies.setdefault(entry["operation"], entry["body"])
        if set(bodies) != {"SaveCustomer", "SaveInspection"}:
            raise h.HarnessError("the job's saves did not reach the double: %r"
                                 % [e["operation"] for e in log])
        files = []
        for op in ("SaveCustomer", "SaveInspection"):
            path = os.path.join(work, op + ".xml")
            with open(path, "wb") as f:
                f.write(bodies[op].encode("utf-8"))
            files.append(h.windows_path(path))
        double.reset()

        bench = subprocess.run(
            h.WINE(args.bench, h.windows_path(args.exe), h.windows_path(args.floor),
                   double.address, files[0], files[1], JOB, str(args.runs)),
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, timeout=1200)
        sys.stdout.write(bench.stdout.decode("utf-8", errors="replace").replace("\r", ""))
        ops = [e["operation"] for e in double.log()]
        print("requests the double answered during the benchmark: %d SaveCustomer, "
              "%d SaveInspection, %d GetVehicleData, %d Authenticate"
              % tuple(ops.count(o) for o in ("SaveCustomer", "SaveInspection",
                                              "GetVehicleData", "Authenticate")))
        status = bench.returncode
    finally:
        double.stop()
        wine(args.floor, "/unregister")
        wine(args.exe, "/UNREGSERVER")
        for key in (r"HKCR\.orv", r"HKCR\TindrelORV.Document"):
            wine("reg", "delete", key, "/f")
        wine("reg", "delete", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/f")
        h.wineserver(env, "-k")
        shutil.rmtree(work, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())
