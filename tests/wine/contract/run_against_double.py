#!/usr/bin/env python3
"""Runs the Wine client test against the service double.

Starts tests/double/service_double.py on a free port, runs the client test
program under Wine (the prefix of TINDREL_WINEPREFIX) with the double's address (and one where
nothing listens), then checks the double's request log: every request the
binding sent must have been read without a problem, with the quoted
SOAPAction and the content type of the contract. Stops the double at the end.

    run_against_double.py --soap_wine_tests soap_wine_tests.exe

Prints the client's own output and a closing "N passed, M failed" line for
the log checks; exits non-zero if either part failed.
"""

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


def check_log(entries, checks):
    soap = [e for e in entries if e.get("operation")]
    checks.check("the double saw a SOAP request", len(soap) > 0)

    def every(what, bad):
        checks.check(what, not bad, "; ".join(bad))

    every("requests read without problems",
          ["%s #%d %s" % (e["operation"], e["seq"], e["problems"]) for e in soap if e["problems"]])
    every("SOAPAction the quoted action",
          ["%s %r" % (e["operation"], e["soapAction"]) for e in soap
           if e["soapAction"] != '"%s%s"' % (ACTION, e["operation"])])
    every("content type the contract's",
          ["%s %r" % (e["operation"], e["contentType"]) for e in soap
           if e["contentType"] != "text/xml; charset=utf-8"])
    every("posted to the service path", ["%s %r" % (e["operation"], e["path"]) for e in soap if e["path"] != SVC_PATH])
    seen = {e["operation"] for e in soap}
    every("every operation sent", [op for op in ("Authenticate", "GetVehicleData", "SaveCustomer",
                                                  "SaveInspection", "GetCustomers",
                                                  "GetInspectionsForVehicleForPeriod") if op not in seen])
    saves = [e for e in soap if e["operation"] == "SaveCustomer"]
    customer = dict(saves[0]["params"]).get("customerData") if saves else None
    checks.check("SaveCustomer's record", customer == [["CustomerNo", "7777"],
                                                    ["Name", "Østby & Sønn <AS>"]],
                 repr(customer))
    period = [e for e in soap if e["operation"] == "GetInspectionsForVehicleForPeriod"]
    params = period[0]["params"] if period else []
    checks.check("the period's parameters",
                 [p[0] for p in params] == ["regNo", "month", "year", "token"] and
                 (dict(params).get("month"), dict(params).get("year")) == ("3", "2019"),
                 repr(params[:3]))
    inspections = [e for e in soap if e["operation"] == "SaveInspection"]
    members = [p[0] for p in dict(inspections[0]["params"]).get("inspectionData") or []] if inspections else None
    checks.check("SaveInspection's members", members == ["Customer", "OrderNo", "RegNo", "VIN"],
                 repr(members))


def main():
    args = h.arguments()

    prefix = os.environ.get("TINDREL_WINEPREFIX")
    if not prefix:
        print("TINDREL_WINEPREFIX is not set")
        return 1
    with tempfile.TemporaryDirectory(prefix="tindrel-soap-wine-") as work:
        double = h.ServiceDouble(h.DOUBLE_SCRIPT, work)
        try:
            env = h.wine_env(prefix)
            env["TINDREL_SERVICE_URL"] = double.address
            env["TINDREL_DEAD_URL"] = "http://127.0.0.1:%d%s" % (free_port(), SVC_PATH)
            client = subprocess.run(h.WINE(args.soap_wine_tests), env=env, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=600)
            sys.stdout.write(client.stdout.decode("utf-8", errors="replace"))
            entries = double.log()
        finally:
            double.stop()
    checks = h.Checks()
    check_log(entries, checks)
    return checks.summary() or (0 if client.returncode == 0 else 1)


if __name__ == "__main__":
    sys.exit(main())
