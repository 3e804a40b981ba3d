"""Tests of the service double: replies against the published schema, the
scripted data, the nil conventions, faults, fault switches and the log.

Every well-formed request these tests send is first validated against the
contract's schema, so they also serve as examples of valid requests.

    python3 -m unittest discover -s tests/double -v
"""

import http.client
import json
import os
import re
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True
import make_certs  # noqa: E402
import service_double as sd  # noqa: E402

# The contract copied into the repository; validation fails, not skips, without it.
CONTRACT_DIR = os.path.join(HERE, "..", "..", "contract", "schema")
SCHEMA = os.path.join(CONTRACT_DIR, "all.xsd")
# The client's list of the operations, which the double's table must match.
CLIENT_OPERATIONS = os.path.join(HERE, "..", "..", "contract", "service_operations.h")
XMLLINT = shutil.which("xmllint")
SVC_PATH = "/ORVNewPL/Services/Tindrel2Service.svc"
XSI_NIL = "{%s}nil" % sd.XSI_NS
XS = "{http://www.w3.org/2001/XMLSchema}"


def token_xml(signature="SIG-verksted-1", p="q"):
    """The token as the client sends it: all seven members, as read from its cache."""
    fields = [("CustomerName", "Testverkstedet AS"), ("CustomerNo", "4242"), ("Salt", "VERKSTED-PC"),
              ("Signature", signature), ("UserID", "7"), ("UserName", "verksted"),
              ("ValidTo", "2030-12-31T12:00:00.000+01:00")]
    return '<token xmlns:%s="%s">%s</token>' % (
        p, sd.SECURITY_NS, "".join("<%s:%s>%s</%s:%s>" % (p, n, v, p, n) for n, v in fields))


TOKEN = token_xml()
C = 'xmlns:c="%s"' % sd.CONTRACTS_NS
LOGIN = "<userName>verksted</userName><password>hemmelig1</password><salt>VERKSTED-PC</salt>"


def members(elem):
    """[(name, text | None for nil | nested list)] of a record element."""
    out = []
    for child in elem:
        name = child.tag.split("}")[1]
        if child.get(XSI_NIL) == "true":
            out.append((name, None))
        elif len(child):
            out.append((name, members(child)))
        else:
            out.append((name, child.text or ""))
    return out


def start_double(tmp, *extra, log="log.jsonl", script="service_double.py"):
    port_file = os.path.join(tmp, "port-%d" % time.monotonic_ns())
    proc = subprocess.Popen([sys.executable, os.path.join(HERE, script), "--port", "0",
                             "--port-file", port_file, "--log", os.path.join(tmp, log)] + list(extra),
                            stdout=subprocess.PIPE, text=True)
    deadline = time.monotonic() + 10
    while not os.path.exists(port_file):
        if time.monotonic() > deadline or proc.poll() is not None:
            proc.kill()
            raise RuntimeError("%s did not start" % script)
        time.sleep(0.02)
    with open(port_file) as f:
        return proc, int(f.read())


def soap_request(op, inner):
    """(body, headers) of a SOAP 1.1 request as the client sends it."""
    element = '<%s xmlns="http://tempuri.org/">%s</%s>' % (op, inner, op)
    return (('<s:Envelope xmlns:s="%s"><s:Body>%s</s:Body></s:Envelope>' % (sd.SOAP_NS, element)).encode(),
            {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": '"%s%s"' % (sd.ACTION_BASE, op)})


def get_json(port, path, payload=None):
    data = None if payload is None else json.dumps(payload).encode()
    with urllib.request.urlopen("http://127.0.0.1:%d%s" % (port, path), data, timeout=5) as r:
        return json.loads(r.read())


def stop_double(proc):
    proc.send_signal(signal.SIGTERM)
    return proc.wait(timeout=5)


class DoubleCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="double-")
        cls.proc, cls.port = start_double(cls.tmp)

    @classmethod
    def tearDownClass(cls):
        stop_double(cls.proc)
        cls.proc.stdout.close()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        self.http("/control", {"fault": None, "delay": 0})
        self.http("/reset-log", {})

    def http(self, path, payload=None):
        return get_json(self.port, path, payload)

    def validate(self, xml):
        self.assertTrue(XMLLINT, "xmllint missing")
        self.assertTrue(os.path.exists(SCHEMA), "%s missing" % SCHEMA)
        path = os.path.join(self.tmp, "element.xml")
        with open(path, "wb") as f:
            f.write(xml if isinstance(xml, bytes) else xml.encode())
        r = subprocess.run([XMLLINT, "--noout", "--schema", SCHEMA, path], capture_output=True, text=True)
        self.assertEqual(r.returncode, 0, r.stderr + "\n" + (xml if isinstance(xml, str) else xml.decode()))

    def post(self, op, inner, valid=True, headers=None, body=None):
        if valid:
            self.validate('<%s xmlns="http://tempuri.org/">%s</%s>' % (op, inner, op))
        envelope, hdrs = soap_request(op, inner)
        hdrs.update(headers or {})
        req = urllib.request.Request("http://127.0.0.1:%d%s" % (self.port, SVC_PATH),
                                     body.encode() if body else envelope, hdrs)
        try:
            with urllib.request.urlopen(req, timeout=5) as r:
                return r.status, r.headers.get("Content-Type"), r.read()
        except urllib.error.HTTPError as e:
            return e.code, e.headers.get("Content-Type"), e.read()

    def body_child(self, reply):
        body = ET.fromstring(reply).find("{%s}Body" % sd.SOAP_NS)
        self.assertEqual(len(body), 1)
        self.validate(ET.tostring(body[0]))
        return body[0]

    def result(self, op, inner):
        status, ctype, reply = self.post(op, inner)
        self.assertEqual((status, ctype), (200, "text/xml; charset=utf-8"), reply)
        wrapper = self.body_child(reply)
        self.assertEqual(wrapper.tag, "{http://tempuri.org/}%sResponse" % op)
        self.assertEqual([c.tag for c in wrapper], ["{http://tempuri.org/}%sResult" % op])
        return wrapper[0]

    def fault(self, op, inner, valid=True, code="s:Client"):
        status, ctype, reply = self.post(op, inner, valid)
        self.assertEqual((status, ctype), (500, "text/xml; charset=utf-8"), reply)
        fault = ET.fromstring(reply).find("{%(s)s}Body/{%(s)s}Fault" % {"s": sd.SOAP_NS})
        self.assertEqual([c.tag for c in fault][:2], ["faultcode", "faultstring"])
        self.assertEqual(fault.findtext("faultcode"), code)
        return fault.findtext("faultstring")

    def assert_nil(self, elem):
        self.assertEqual((elem.get(XSI_NIL), len(elem), elem.text), ("true", 0, None))


class ServiceBehaviour(DoubleCase):
    def test_login_outcomes(self):
        token = self.result("Authenticate", LOGIN)
        self.assertTrue(all(c.tag.startswith("{%s}" % sd.SECURITY_NS) for c in token))
        self.assertEqual(members(token), [
            ("CustomerName", "Testverkstedet AS"), ("CustomerNo", "4242"), ("Salt", "VERKSTED-PC"),
            ("Signature", "SIG-verksted-1"), ("UserID", "7"), ("UserName", "verksted"),
            ("ValidTo", "2030-12-31T12:00:00+01:00")])
        self.assert_nil(self.result("Authenticate", LOGIN.replace("hemmelig1", "hemmelig2")))
        self.assert_nil(self.result("Authenticate", LOGIN.replace(">verksted<", ">noen<")))
        self.assertEqual(self.fault("Authenticate", LOGIN.replace(">verksted<", ">feilbruker<")), "Ukjent bruker")

    def test_full_vehicle_has_every_member(self):
        vehicle = self.result("GetVehicleData", "<regNo>AB12345</regNo>" + TOKEN)
        got = dict(members(vehicle))
        self.assertEqual([n for n, _ in members(vehicle)], sd.VEHICLE.names())
        self.assertEqual(len(got), 71)
        self.assertNotIn(None, got.values())
        for name, value in [("EnginePower", "110.9"), ("WeightTotalMax", "2000"), ("Weight", "1475"),
                            ("FuelCode", "2"), ("GroupNo", "101"), ("AutosysMakeCode", "5123"),
                            ("Color", "Sølvgrå"), ("IdentityNotes", "Identitet kontrollert & <OK>")]:
            self.assertEqual(got[name], value, name)
        self.assertEqual(got["VehicleApproval"], [("ApprovedBy", "12"), ("ApprovedDate", "2019-03-01T00:00:00"),
                                                  ("ApprovedInspectionNo", "K-1001"), ("IsApproved", "true"),
                                                  ("RegNo", "AB12345")])
        scalars = [v for v in got.values() if isinstance(v, str)]
        self.assertEqual(len(set(v for v in scalars if re.fullmatch(r"\d{3,}", v))),
                         len([v for v in scalars if re.fullmatch(r"\d{3,}", v)]), "numbers should differ")
        dates = [got[n] for n, k, _ in sd.VEHICLE.fields if k == "dateTime"]
        for form in (r"Z$", r"[+-]\d\d:\d\d$", r":\d\d$", r"\.\d{7}[-+Z]"):
            self.assertTrue(any(re.search(form, d) for d in dates), form)

    def test_sparse_vehicle_sends_nil_and_value_types(self):
        vehicle = self.result("GetVehicleData", "<regNo>CD67890</regNo>" + TOKEN)
        got = dict(members(vehicle))
        for name, kind, nillable in sd.VEHICLE.fields:
            if name in ("RegNo", "RegistrationDate"):
                continue
            if nillable:
                self.assertIsNone(got[name], name)
            else:
                self.assertRegex(got[name], r"^(-?[\d.]+|true|false|\d{4}-.*)$", name)
        self.assertEqual((got["Weight"], got["WeightTotalMax"], got["RegistrationDate"], got["HasTowbar"]),
                         ("2600", "2525", "1900-01-01T00:00:00", "false"))
        self.assert_nil(self.result("GetVehicleData", "<regNo>ZZ00000</regNo>" + TOKEN))
        self.assertEqual(self.fault("GetVehicleData", "<regNo>FAULT99</regNo>" + TOKEN), "Oppslag feilet")

    def test_every_operation_but_login_needs_the_signed_token(self):
        nil_token = '<token i:nil="true" xmlns:i="%s"/>' % sd.XSI_NS
        for op, (params, _) in sd.OPERATIONS.items():
            if op in ("Authenticate", "IsTokenValid"):
                continue
            args = "".join("<%s>%s</%s>" % (n, "3" if k == "int" else "AB12345", n)
                           for n, k, _ in params if n not in ("token", "customerData", "inspectionData"))
            args += "".join("<%s %s><c:RegNo>AB12345</c:RegNo></%s>" % (n, C, n)
                            for n, k, _ in params if n == "inspectionData")
            args += "".join("<%s %s><c:Name>X</c:Name></%s>" % (n, C, n) for n, k, _ in params if n == "customerData")
            for token in ("", nil_token, token_xml("SIG-annen")):
                with self.subTest(op=op, token=token[:30]):
                    self.assertEqual(self.fault(op, args + token), "Ugyldig eller utløpt token")
        self.assertEqual(self.result("IsTokenValid", token_xml("SIG-annen")).text, "false")
        self.assertEqual(self.result("IsTokenValid", TOKEN).text, "true")
        renewed = dict(members(self.result("RenewToken", TOKEN)))
        self.assertEqual((renewed["Signature"], renewed["Salt"]), ("SIG-verksted-1", "VERKSTED-PC"))

    def test_customers(self):
        items = self.result("GetCustomers", TOKEN)
        self.assertEqual([dict(members(c))["CustomerNo"] for c in items], ["1001", "1002", "1003"])
        self.assertTrue(all(c.tag == "{%s}Tindrel2CustomerData" % sd.CONTRACTS_NS for c in items))
        bjorn = dict(members(self.result("GetCustomer", "<customerNo>1002</customerNo>" + TOKEN)))
        self.assertEqual((bjorn["FirstName"], bjorn["Comments"]), ("Bjørn", "Ring før levering & <viktig>"))
        self.assert_nil(self.result("GetCustomer", "<customerNo>9999</customerNo>" + TOKEN))

    def test_save_customer_echoes_and_numbers(self):
        saved = members(self.result("SaveCustomer", '<customerData %s><c:CustomerNo>77</c:CustomerNo>'
                                    '<c:Name>Ås</c:Name></customerData>%s' % (C, TOKEN)))
        expect = {"CustomerNo": "77", "CustomerNoInternal": "5001", "IsCompany": "false", "Name": "Ås"}
        self.assertEqual(saved, [(n, expect.get(n)) for n in sd.CUSTOMER.names()])
        again = '<customerData %s><c:CustomerNoInternal>%s</c:CustomerNoInternal></customerData>' + TOKEN
        self.assertEqual(dict(members(self.result("SaveCustomer", again % (C, 0))))["CustomerNoInternal"], "5002")
        self.assertEqual(dict(members(self.result("SaveCustomer", again % (C, 5001))))["CustomerNoInternal"], "5001")
        text = self.fault("SaveCustomer", '<customerData %s><c:CustomerNo>FEIL</c:CustomerNo></customerData>%s'
                          % (C, TOKEN), code="a:InternalServiceFault")
        self.assertEqual(text, "Kunden kunne ikke lagres")

    def test_save_inspection(self):
        request = ('<inspectionData %s><c:Count1>2</c:Count1><c:CustomerNo>1002</c:CustomerNo>%%s'
                   '<c:RegNo>%%s</c:RegNo></inspectionData>%s' % (C, TOKEN))
        first = dict(members(self.result("SaveInspection", request % ("", "AB12345"))))
        self.assertEqual([first[n] for n in ("InspectionNo", "CreateSucceeded", "InspectionStatusNo",
                                             "InspectionStatusName", "Count1", "Count0", "CreateFailedReason")],
                         ["K-2001", "true", "1", "Opprettet", "2", "0", None])
        self.assertEqual(dict(first["Vehicle"])["Vin"], "TDL0000000A123456")
        self.assertEqual(dict(first["Customer"])["CustomerNoInternal"], "3002")
        resent = dict(members(self.result("SaveInspection", request % (
            "<c:InspectionNo>K-2001</c:InspectionNo>", "AB12345"))))
        self.assertEqual(resent["InspectionNo"], "K-2001")
        other = dict(members(self.result("SaveInspection", request % ("", "EF11111"))))
        self.assertEqual((other["InspectionNo"], other["Vehicle"]), ("K-2002", None))
        refused = dict(members(self.result("SaveInspection", request % ("", "NEKT123"))))
        self.assertEqual((refused["CreateSucceeded"], refused["CreateFailedReason"], refused["InspectionNo"]),
                         ("false", "Kjøretøyet har allerede en åpen kontroll", None))
        stored = dict(members(self.result("GetInspectionData", "<inspectionNo>K-2002</inspectionNo>" + TOKEN)))
        self.assertEqual(stored["RegNo"], "EF11111")
        self.assertEqual(self.result("GetInspectionURL", "<inspectionNo>K-2001</inspectionNo>" + TOKEN).text,
                         "https://example.invalid/kontroll/K-2001?a=1&b=2")

    def test_approvals_for_period(self):
        period = "<regNo>%s</regNo><month>3</month><year>2019</year>" + TOKEN
        history = self.result("GetInspectionsForVehicleForPeriod", period % "AB12345")
        self.assertEqual([dict(members(a))["ApprovedInspectionNo"] for a in history], ["K-1001", "K-0901"])
        empty = self.result("GetInspectionsForVehicleForPeriod", period % "CD67890")
        self.assertEqual((empty.get(XSI_NIL), len(empty)), (None, 0))
        self.assertEqual(dict(members(self.result("IsVehicleApprovedForPeriod", period % "AB12345")))["IsApproved"],
                         "true")
        self.assert_nil(self.result("IsVehicleApprovedForPeriod", period % "XX99999"))


class WireForm(DoubleCase):
    def test_reply_prefixes_vary_between_operations(self):
        prefixes = set()
        for op, inner in [("GetVehicleData", "<regNo>AB12345</regNo>" + TOKEN), ("GetCustomer",
                          "<customerNo>1001</customerNo>" + TOKEN), ("Authenticate", LOGIN)]:
            prefixes.add(re.search(rb"<(\w+):\w+>", self.post(op, inner)[2].split(b"Result", 1)[1]).group(1))
        self.assertGreater(len(prefixes), 2)

    def test_protocol_errors(self):
        cases = [  # (headers, body, status, faultcode in reply or None)
            ({"SOAPAction": '"http://tempuri.org/ITindrel2Service/Nope"'}, None, 500, b"a:ActionNotSupported"),
            ({"Content-Type": "application/soap+xml; charset=utf-8"}, None, 415, None),
            ({}, "<s:Envelope", 400, None),
            ({"SOAPAction": '"http://tempuri.org/ITindrel2Service/GetCustomers"'}, None, 500, b"DeserializationFailed"),
        ]
        for headers, body, status, code in cases:
            with self.subTest(headers=headers, body=body):
                got = self.post("IsTokenValid", TOKEN, headers=headers, body=body)
                self.assertEqual(got[0], status)
                if code:
                    self.assertIn(code, got[2])
        self.assertTrue(all(entry["problems"] for entry in self.http("/log")))

    def test_strict_reading_as_the_service_does(self):
        # City after Name is dropped, Email in the parameter namespace is skipped.
        status, _, reply = self.post("SaveCustomer", '<customerData %s><c:Name>B</c:Name><c:City>A</c:City>'
                                     '<Email>e</Email></customerData>%s' % (C, TOKEN), valid=False)
        self.assertEqual(status, 200)
        saved = dict(members(self.body_child(reply)[0]))
        self.assertEqual((saved["Name"], saved["City"], saved["Email"]), ("B", None, None))
        problems = self.http("/log")[-1]["problems"]
        self.assertEqual(len(problems), 2, problems)
        self.assertIn("out of schema order", problems[0])
        self.assertIn("namespace", problems[1])
        for bad in ('<c:IsCompany i:nil="true" xmlns:i="%s"/>' % sd.XSI_NS, "<c:CustomerNoInternal>x1"
                    "</c:CustomerNoInternal>"):
            with self.subTest(bad=bad):
                self.assertIn("deserialize", self.fault("SaveCustomer", "<customerData %s>%s</customerData>%s"
                                                        % (C, bad, TOKEN), False, "a:DeserializationFailed"))


class SwitchesAndLog(DoubleCase):
    def test_fault_modes(self):
        for mode in sd.FAULT_MODES:
            if mode == "slow":
                continue
            with self.subTest(mode=mode):
                self.http("/control", {"fault": mode})
                try:
                    status, ctype, body = self.post("Authenticate", LOGIN)
                except (OSError, http.client.HTTPException):
                    status = ctype = body = None
                if mode in sd.SILENT_FAULTS:
                    self.assertIsNone(status)
                else:
                    expect = {"http500": (500, "text/xml"), "http500-plain": (500, "text/plain"),
                              "html": (200, "text/html"), "empty": (200, "text/xml"), "truncate": (200, "text/xml")}
                    self.assertEqual((status, ctype.split(";")[0]), expect[mode])
                    if mode == "html":
                        self.assertIn(b"<html>", body)
                    elif mode != "http500":
                        self.assertRaises(ET.ParseError, ET.fromstring, body)
                self.assertEqual(self.http("/log")[-1]["fault"], mode)
        self.http("/control", {"fault": None})
        self.assertEqual(self.result("Authenticate", LOGIN)[3].text, "SIG-verksted-1")

    def test_slow_count_and_operation_filter(self):
        self.http("/control", {"fault": "slow", "delay": 0.4, "count": 1})
        started = time.monotonic()
        self.result("Authenticate", LOGIN)
        self.assertGreaterEqual(time.monotonic() - started, 0.4)
        started = time.monotonic()
        self.result("Authenticate", LOGIN)
        self.assertLess(time.monotonic() - started, 0.4)
        self.http("/control", {"fault": "http500", "operations": ["SaveCustomer"], "text": "Nede"})
        self.result("Authenticate", LOGIN)
        customer = "<customerData %s><c:Name>N</c:Name></customerData>%s" % (C, TOKEN)
        self.assertEqual(self.fault("SaveCustomer", customer, code="a:InternalServiceFault"), "Nede")
        self.http("/control", {"fault": None})
        self.assertEqual(dict(members(self.result("SaveCustomer", customer)))["CustomerNoInternal"], "5001")
        with self.assertRaises(urllib.error.HTTPError):
            self.http("/control", {"fault": "unknown"})

    def test_log_file_and_reset(self):
        self.post("Authenticate", "<userName>verksted</userName><password i:nil=\"true\" xmlns:i=\"%s\"/>"
                  % sd.XSI_NS)
        self.post("GetInspectionsForVehicleForPeriod", "<regNo>AB12345</regNo><month>3</month><year>2019</year>"
                  + TOKEN)
        log = self.http("/log")
        with open(os.path.join(self.tmp, "log.jsonl"), encoding="utf-8") as f:
            self.assertEqual([json.loads(line) for line in f], log)
        self.assertEqual([e["operation"] for e in log], ["Authenticate", "GetInspectionsForVehicleForPeriod"])
        self.assertEqual(log[0]["params"], [["userName", "verksted"], ["password", None]])
        self.assertEqual(log[1]["params"][:3], [["regNo", "AB12345"], ["month", "3"], ["year", "2019"]])
        self.assertEqual(log[1]["params"][3][1][3], ["Signature", "SIG-verksted-1"])
        self.assertEqual((log[1]["soapAction"], log[1]["contentType"], log[1]["problems"]),
                         ('"http://tempuri.org/ITindrel2Service/GetInspectionsForVehicleForPeriod"',
                          "text/xml; charset=utf-8", []))
        self.assertIn("<month>3</month>", log[1]["body"])
        self.assertEqual(self.http("/reset-log", {}), {"cleared": 2})
        self.assertEqual(self.http("/log"), [])
        self.assertEqual(os.path.getsize(os.path.join(self.tmp, "log.jsonl")), 0)

    def test_drop_after_read_closes_a_kept_alive_connection_unanswered(self):
        self.http("/control", {"fault": "drop-after-read", "count": 1, "operations": ["SaveInspection"]})
        inspection = "<inspectionData %s><c:RegNo>EF11111</c:RegNo></inspectionData>%s" % (C, TOKEN)
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=5)
        for op, inner in (("IsTokenValid", TOKEN), ("SaveInspection", inspection)):
            conn.request("POST", SVC_PATH, *soap_request(op, inner))
            if op == "IsTokenValid":
                self.assertEqual(conn.getresponse().read().count(b">true<"), 1)
        with self.assertRaises(http.client.RemoteDisconnected):
            conn.getresponse()
        conn.close()
        saved = dict(members(self.result("SaveInspection", inspection)))
        self.assertEqual(saved["InspectionNo"], "K-2002", "the dropped save was carried out")
        log = self.http("/log")
        self.assertEqual([(e["operation"], e["fault"], e["status"], e["connectionRequest"]) for e in log],
                         [("IsTokenValid", None, 200, 1), ("SaveInspection", "drop-after-read", None, 2),
                          ("SaveInspection", None, 200, 1)])
        self.assertEqual(log[0]["connection"], log[1]["connection"])
        self.assertNotEqual(log[1]["connection"], log[2]["connection"])
        self.assertIn("EF11111", log[1]["body"])

    def test_cli_fault_and_clean_stop(self):
        proc, port = start_double(self.tmp, "--fault", "http500-plain", "--fault-count", "1", log="cli.jsonl")
        try:
            self.assertEqual(proc.stdout.readline().strip(), str(port))
            with urllib.request.urlopen("http://127.0.0.1:%d/status" % port, timeout=5) as r:
                self.assertEqual(json.loads(r.read())["fault"], "http500-plain")
        finally:
            self.assertEqual(stop_double(proc), 0)
            proc.stdout.close()


class HttpsAndProxy(unittest.TestCase):
    """The double over HTTPS with the made certificates, reached directly and through the proxy."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="double-tls-")
        cls.certs = make_certs.make_certs(os.path.join(cls.tmp, "certs"))
        http_port_file = os.path.join(cls.tmp, "http-port")
        cls.procs = []
        cls.port = cls.start("service_double.py", "--tls-cert", cls.certs["localhost.pem"],
                             "--tls-key", cls.certs["server.key"], "--http-port-file", http_port_file)
        with open(http_port_file) as f:
            cls.http_port = int(f.read())
        cls.proxy = {mode: cls.start("connect_proxy.py", "--mode", mode, "--schemes", "Basic,NTLM",
                                     "--realm", "Testproxy") for mode in ("pass", "auth")}
        cls.trusting = ssl.create_default_context(cafile=cls.certs["ca.pem"])

    @classmethod
    def start(cls, script, *args):
        proc, port = start_double(cls.tmp, *args, script=script, log="%s-%d.jsonl" % (script, len(cls.procs)))
        cls.procs.append(proc)
        return port

    @classmethod
    def tearDownClass(cls):
        for proc in cls.procs:
            stop_double(proc)
            proc.stdout.close()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def setUp(self):
        get_json(self.http_port, "/reset-log", {})
        for port in self.proxy.values():
            get_json(port, "/reset-log", {})

    def test_certificates_fail_verification_for_their_own_reason(self):
        certs = self.certs
        for name, reason in (("localhost.pem", None), ("otherhost.pem", "hostname mismatch"),
                             ("expired.pem", "certificate has expired"),
                             ("selfsigned.pem", "self-signed certificate")):
            with self.subTest(name=name):
                r = subprocess.run(["openssl", "verify", "-CAfile", certs["ca.pem"], "-verify_hostname",
                                    "localhost", certs[name]], capture_output=True, text=True)
                self.assertEqual(r.returncode != 0, reason is not None, r.stdout + r.stderr)
                self.assertIn(reason or ": OK", r.stdout + r.stderr)

    def test_https_requests_share_one_handshake_and_refusals_are_counted(self):
        conn = http.client.HTTPSConnection("localhost", self.port, timeout=5, context=self.trusting)
        for _ in range(2):
            conn.request("POST", SVC_PATH, *soap_request("IsTokenValid", TOKEN))
            self.assertIn(b">true<", conn.getresponse().read())
        conn.close()
        with self.assertRaises(ssl.SSLCertVerificationError):
            http.client.HTTPSConnection("localhost", self.port, timeout=5).request("GET", "/status")
        log = get_json(self.http_port, "/log")
        self.assertEqual([(e["tls"], e["connectionRequest"]) for e in log], [(True, 1), (True, 2)])
        self.assertEqual(log[0]["connection"], log[1]["connection"])
        status = get_json(self.http_port, "/status")
        self.assertEqual((status["tlsHandshakes"], status["tlsHandshakeFailures"]), (1, 1))
        self.assertIn("unknown ca", status["lastTlsFailure"])

    def test_proxy_passes_tunnels_and_absolute_requests(self):
        conn = http.client.HTTPSConnection("127.0.0.1", self.proxy["pass"], timeout=5, context=self.trusting)
        conn.set_tunnel("localhost", self.port)
        conn.request("POST", SVC_PATH, *soap_request("IsTokenValid", TOKEN))
        self.assertIn(b">true<", conn.getresponse().read())
        conn.close()
        plain = http.client.HTTPConnection("127.0.0.1", self.proxy["pass"], timeout=5)
        plain.request("GET", "http://127.0.0.1:%d/status" % self.http_port)
        self.assertEqual(json.loads(plain.getresponse().read())["tlsHandshakes"], 1)
        plain.close()
        self.assertEqual([(e["method"], e["target"], e["status"]) for e in get_json(self.proxy["pass"], "/log")],
                         [("CONNECT", "localhost:%d" % self.port, 200),
                          ("GET", "http://127.0.0.1:%d/status" % self.http_port, None)])
        self.assertEqual(get_json(self.proxy["pass"], "/status")["tunnels"], 1)

    def test_proxy_demanding_a_login_lets_nothing_through(self):
        plain = http.client.HTTPConnection("127.0.0.1", self.proxy["auth"], timeout=5)
        plain.request("POST", "http://127.0.0.1:%d%s" % (self.http_port, SVC_PATH),
                      *soap_request("IsTokenValid", TOKEN))
        reply = plain.getresponse()
        reply.read()
        self.assertEqual((reply.status, reply.headers.get_all("Proxy-Authenticate")),
                         (407, ['Basic realm="Testproxy"', "NTLM"]))
        plain.request("GET", "http://127.0.0.1:%d/log" % self.http_port,
                      headers={"Proxy-Authorization": "Basic dTpw"})
        self.assertEqual(plain.getresponse().status, 407, "the same connection answers again")
        plain.close()
        tunnel = http.client.HTTPSConnection("127.0.0.1", self.proxy["auth"], timeout=5, context=self.trusting)
        tunnel.set_tunnel("localhost", self.port)
        with self.assertRaisesRegex(OSError, "407"):
            tunnel.request("GET", "/status")
        tunnel.close()
        self.assertEqual([(e["method"], e["status"], e["proxyAuthorization"])
                          for e in get_json(self.proxy["auth"], "/log")],
                         [("POST", 407, None), ("GET", 407, "Basic"), ("CONNECT", 407, None)])
        self.assertEqual(get_json(self.http_port, "/log"), [])


class TablesMatchPublishedSchema(unittest.TestCase):
    def test_records_and_operations(self):
        self.assertTrue(os.path.exists(SCHEMA), "%s missing" % SCHEMA)
        def sequence(complex_type):
            return [(e.get("name"), e.get("type").split(":")[1], e.get("nillable") == "true")
                    for e in complex_type.iter(XS + "element")]
        types, elements = {}, {}
        for name in ("xsd0.xsd", "xsd2.xsd", "xsd3.xsd"):
            root = ET.parse(os.path.join(CONTRACT_DIR, name)).getroot()
            types.update((ct.get("name"), sequence(ct)) for ct in root.findall(XS + "complexType"))
            elements.update((el.get("name"), sequence(el.find(XS + "complexType")))
                            for el in root.findall(XS + "element") if el.find(XS + "complexType") is not None)
        for rtype in sd.RECORDS.values():
            self.assertEqual(rtype.fields, types[rtype.name], rtype.name)
        for array, item in sd.ARRAYS.items():
            self.assertEqual(types[array], [(item.name, item.name, True)], array)
        for op, (params, (result, kind)) in sd.OPERATIONS.items():
            self.assertEqual(list(params), elements[op], op)
            self.assertEqual(elements[op + "Response"][0][:2], (result, kind), op)

    def test_operations_match_the_client_list(self):
        with open(CLIENT_OPERATIONS, encoding="utf-8") as f:
            text = f.read().replace("\\\n", " ")
        body = re.search(r"#define TINDREL_SERVICE_OPERATIONS\(X\)(.*)", text).group(1)
        # X(Name, Result, (Parameters), (Arguments), ChangesData)
        row = re.compile(r"X\(\s*(\w+),\s*([\w:<>]+),\s*\([^()]*\),\s*\(([\w\s,]*)\),\s*(?:true|false)\s*\)")
        rows = row.findall(body)
        self.assertEqual(len(rows), body.count("X("), "a row of %s not understood" % CLIENT_OPERATIONS)
        kinds = {"std::string": "string", "bool": "boolean"}
        client = [(name, [a.strip() for a in args.split(",")],
                   kinds.get(result, re.sub(r"^std::unique_ptr<(\w+)2>$", r"\1", result)))
                  for name, result, args in rows]
        double = [(op, [n for n, _, _ in params], kind) for op, (params, (_, kind)) in sd.OPERATIONS.items()]
        self.assertEqual(double, client)
        self.assertEqual(sorted(n[3:] for n in dir(sd.Service) if n.startswith("op_")), sorted(sd.OPERATIONS))


if __name__ == "__main__":
    unittest.main()
