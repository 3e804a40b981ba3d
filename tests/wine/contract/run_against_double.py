#!/usr/bin/env python3
"""Runs the Wine client test against the service double.

Starts tests/double/service_double.py on a free port, runs the client test
program under Wine (the prefix of TINDREL_WINEPREFIX) with the double's address (and one where
nothing listens), then checks the double's request log: every request the
binding sent must have been read without a problem, with the quoted
SOAPAction and the content type of the contract. Stops the double at the end.

    run_against_double.py --exe soap_wine_tests.exe --double service_double.py

Prints the client's own output and a closing "N passed, M failed" line for
the log checks; exits non-zero if either part failed.
"""

import argparse
import os
import socket
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine_harness as h  # noqa: E402

SVC_PATH = h.SERVICE_PATH
ACTION = "http://tempuri.org/ITindrel2Service/"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("log check failed: " + what)


def check_log(entries, checks):
    soap = [e for e in entries if e.get("operation")]
    checks.check(len(soap) > 0, "the double saw no SOAP request")

    def every(what, bad):
        checks.check(not bad, "%s: %s" % (what, "; ".join(bad)))

    every("requests read with problems",
          ["%s #%d %s" % (e["operation"], e["seq"], e["problems"]) for e in soap if e["problems"]])
    every("SOAPAction not the quoted action",
          ["%s %r" % (e["operation"], e["soapAction"]) for e in soap
           if e["soapAction"] != '"%s%s"' % (ACTION, e["operation"])])
    every("content type not the contract's",
          ["%s %r" % (e["operation"], e["contentType"]) for e in soap
           if e["contentType"] != "text/xml; charset=utf-8"])
    every("posted elsewhere", ["%s %r" % (e["operation"], e["path"]) for e in soap if e["path"] != SVC_PATH])
    seen = {e["operation"] for e in soap}
    every("operations never sent", [op for op in ("Authenticate", "GetVehicleData", "SaveCustomer",
                                                  "SaveInspection", "GetCustomers",
                                                  "GetInspectionsForVehicleForPeriod") if op not in seen])
    saves = [e for e in soap if e["operation"] == "SaveCustomer"]
    customer = dict(saves[0]["params"]).get("customerData") if saves else None
    checks.check(customer == [["CustomerNo", "7777"], ["Name", "Østby & Sønn <AS>"]],
                 "SaveCustomer sent %r" % customer)
    period = [e for e in soap if e["operation"] == "GetInspectionsForVehicleForPeriod"]
    params = period[0]["params"] if period else []
    checks.check([p[0] for p in params] == ["regNo", "month", "year", "token"] and
                 (dict(params).get("month"), dict(params).get("year")) == ("3", "2019"),
                 "period parameters %r" % params[:3])
    inspections = [e for e in soap if e["operation"] == "SaveInspection"]
    members = [p[0] for p in dict(inspections[0]["params"]).get("inspectionData") or []] if inspections else None
    checks.check(members == ["Customer", "OrderNo", "RegNo", "VIN"], "SaveInspection members %r" % members)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--double", required=True)
    args = ap.parse_args()

    prefix = os.environ.get("TINDREL_WINEPREFIX")
    if not prefix:
        print("TINDREL_WINEPREFIX is not set")
        return 1
    with tempfile.TemporaryDirectory(prefix="tindrel-soap-wine-") as work:
        double = h.ServiceDouble(args.double, work)
        try:
            env = h.wine_env(prefix)
            env["TINDREL_SERVICE_URL"] = double.address
            env["TINDREL_DEAD_URL"] = "http://127.0.0.1:%d%s" % (free_port(), SVC_PATH)
            client = subprocess.run(h.WINE(args.exe), env=env, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=600)
            sys.stdout.write(client.stdout.decode("utf-8", errors="replace"))
            entries = double.log()
        finally:
            double.stop()
    checks = Checks()
    check_log(entries, checks)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 0 if client.returncode == 0 and checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
