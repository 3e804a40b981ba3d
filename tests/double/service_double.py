#!/usr/bin/env python3
"""Test double of the ITindrel2Service web service (SOAP 1.1, WCF BasicHttpBinding).

Answers the twelve operations with scripted, deterministic data in the form a
WCF service replies in, logs every request it receives, and can be switched
into failure modes for robustness tests. Standard library only.

    python3 service_double.py --port 0 --port-file PATH --log PATH
                              [--fault MODE] [--delay SECONDS]
                              [--fault-count N] [--fault-ops Op1,Op2]
                              [--tls-cert PEM --tls-key PEM [--http-port-file PATH]]

With --tls-cert and --tls-key the port of --port speaks HTTPS (TLS 1.2 or
1.3), and a second, plain-HTTP port with the same service, switches and log
is opened as well (its number goes to --http-port-file): control calls made
there do not add TLS handshakes to the counts a test reads.

Control endpoints (the SOAP endpoint is POST at any other path):
    POST /control    {"fault": MODE|null, "delay": s, "count": n|null,
                      "operations": [names]|null, "text": faultstring}
    GET  /status     current switches and counters, with the connections
                     accepted on either port (this one included), TLS
                     handshakes completed and failed (and the last failure),
                     counted since the last /reset-log
    GET  /log        the request log as a JSON array
    POST /reset-log  clears the log (memory and file) and resets the counters

Each log entry names the connection that carried it ("connection", unique for
the life of the double; "connectionRequest", 1 for the first request on it;
"tls"), so a test can tell whether two requests shared one connection. A
client that checks the certificate only after the handshake and then hangs up
(WinInet does) counts as a completed handshake with no request.
"""

import argparse
import copy
import io
import json
import os
import re
import signal
import socket
import ssl
import struct
import sys
import threading
import time
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from xml.sax.saxutils import escape

SOAP_NS = "http://schemas.xmlsoap.org/soap/envelope/"
SOAP12_NS = "http://www.w3.org/2003/05/soap-envelope"
TNS = "http://tempuri.org/"
CONTRACTS_NS = "http://schemas.datacontract.org/2004/07/ORV.Services.Tindrel2.Contracts"
SECURITY_NS = "http://schemas.datacontract.org/2004/07/ORV.Services.Security"
XSI_NS = "http://www.w3.org/2001/XMLSchema-instance"
XS_NS = "http://www.w3.org/2001/XMLSchema"
XML_NS = "http://www.w3.org/XML/1998/namespace"
DISPATCHER_NS = "http://schemas.microsoft.com/net/2005/12/windowscommunicationfoundation/dispatcher"
ADDRESSING_NONE_NS = "http://schemas.microsoft.com/ws/2005/05/addressing/none"
ACTION_BASE = "http://tempuri.org/ITindrel2Service/"

# refuse and drop-after-read both read the whole request, log it and close the
# connection in order without a byte of answer. refuse leaves the service
# untouched; drop-after-read carries the request out first (a SaveInspection
# creates its inspection), as a service does whose answer is lost on the way.
FAULT_MODES = ("refuse", "reset", "slow", "http500", "http500-plain", "html", "empty", "truncate",
               "drop-after-read")
SILENT_FAULTS = ("refuse", "reset", "drop-after-read")
SLOW_DEFAULT_SECONDS = 10.0
CONTROL_PATHS = ("/control", "/status", "/log", "/reset-log")

# --------------------------------------------------------------------------
# Data contract: records in member order (ordinal order of the names), with
# the XSD type of each member and whether it is nillable. A kind that names a
# record type is a nested record.

SCALAR_KINDS = ("string", "int", "short", "boolean", "decimal", "dateTime")


class RecordType:
    def __init__(self, name, ns, table):
        self.name = name
        self.ns = ns
        self.fields = []
        for line in table.strip().splitlines():
            words = line.split()
            self.fields.append((words[0], words[1], len(words) > 2 and words[2] == "nil"))
        self.index = {f[0]: i for i, f in enumerate(self.fields)}

    def names(self):
        return [f[0] for f in self.fields]


TOKEN = RecordType("ORVSecurityToken", SECURITY_NS, """
CustomerName string nil
CustomerNo int
Salt string nil
Signature string nil
UserID int
UserName string nil
ValidTo dateTime
""")

APPROVAL = RecordType("Tindrel2VehicleApprovalData", CONTRACTS_NS, """
ApprovedBy int
ApprovedDate dateTime nil
ApprovedInspectionNo string nil
IsApproved boolean
RegNo string nil
""")

CUSTOMER = RecordType("Tindrel2CustomerData", CONTRACTS_NS, """
Address1 string nil
Address2 string nil
City string nil
Comments string nil
CustomerNo string nil
CustomerNoInternal int
Email string nil
Fax string nil
FirstName string nil
HomePhone string nil
IsCompany boolean
MiddleName string nil
MobilePhone string nil
Name string nil
WorkPhone string nil
ZipCode string nil
""")

VEHICLE = RecordType("Tindrel2VehicleData", CONTRACTS_NS, """
AutosysMakeCode short nil
AxleCount int
AxleDriveCount int
AxleLoadMaxFront int
AxleLoadMaxRear int
Body string nil
Co2Emissions int
Color string nil
DPF int nil
Displacement int
EngineCode string nil
EnginePower decimal
EuMainNo string nil
EuVariant string nil
EuVersion string nil
Euronorm string nil
EuronormClass string nil
FactoryOrLab string nil
FrameBody string nil
Fuel string nil
FuelCode int nil
Gear string nil
Group string nil
GroupNo int
HasPneumaticBrakes boolean
HasTowbar boolean
IdentityNotes string nil
InsetMinFront int
InsetMinRear int
Length int
LoadIndexMinFront string nil
LoadIndexMinRear string nil
Model string nil
ModelYear int
PkkLastDate dateTime nil
PkkNextDate dateTime nil
RecentRegistrationDate dateTime nil
RegNo string nil
RegistrationCountryDate dateTime nil
RegistrationDate dateTime nil
RegistrationNotes string nil
RegistrationOffDate dateTime nil
RimStandardFront string nil
RimStandardRear string nil
Rpm int
Seats int
SpeedMinFront string nil
SpeedMinRear string nil
StationarySpl int
TowBracketLength int
TowLoadMax int
TowWeightNoBrakes int
TowWeightWithBrakes int
TrackWidthMaxFront int
TrackWidthMaxRear int
Type string nil
TypeApprovalNo string nil
TypeApprovalValidFromVin string nil
TyreStandardFront string nil
TyreStandardRear string nil
UsedImported boolean
VehicleApproval Tindrel2VehicleApprovalData nil
VehicleMake string nil
VehicleMakeNo int nil
Vin string nil
Weight int
WeightRoofMax int
WeightTotalMax int
WeightTruck int
WheelDrive string nil
Width int
""")

INSPECTION = RecordType("Tindrel2InspectionData", CONTRACTS_NS, """
Count0 int nil
Count1 int nil
Count2 int nil
Count3 int nil
Count4 int nil
Count9 int nil
CreateFailedReason string nil
CreateSucceeded boolean
Customer Tindrel2CustomerData nil
CustomerNo string nil
InspectedByInitials string nil
InspectionConcludedDate dateTime nil
InspectionCreatedDate dateTime nil
InspectionNo string nil
InspectionStatusName string nil
InspectionStatusNo int
InspectionTypeCode string nil
InspectionTypeName string nil
InspectionTypeNo int
Mileage int nil
OrderNo string nil
PreviousInspectionNo string nil
RegNo string nil
VIN string nil
Vehicle Tindrel2VehicleData nil
VehicleApproved boolean nil
VehicleBannedFromUse boolean nil
""")

RECORDS = {r.name: r for r in (TOKEN, APPROVAL, CUSTOMER, VEHICLE, INSPECTION)}
# Array type name -> item record type (items are named after the record type).
ARRAYS = {
    "ArrayOfTindrel2CustomerData": CUSTOMER,
    "ArrayOfTindrel2VehicleApprovalData": APPROVAL,
}

# Operations in interface order: parameters (name, kind, nillable) and the
# result (element name, kind). Parameters are always in the target namespace.
_TOK = ("token", "ORVSecurityToken", True)
_REG = ("regNo", "string", True)
_PERIOD = (_REG, ("month", "int", False), ("year", "int", False), _TOK)
OPERATIONS = {
    "GetVehicleData": ((_REG, _TOK), ("GetVehicleDataResult", "Tindrel2VehicleData")),
    "GetCustomers": ((_TOK,), ("GetCustomersResult", "ArrayOfTindrel2CustomerData")),
    "GetCustomer": ((("customerNo", "string", True), _TOK), ("GetCustomerResult", "Tindrel2CustomerData")),
    "SaveCustomer": ((("customerData", "Tindrel2CustomerData", True), _TOK),
                     ("SaveCustomerResult", "Tindrel2CustomerData")),
    "SaveInspection": ((("inspectionData", "Tindrel2InspectionData", True), _TOK),
                       ("SaveInspectionResult", "Tindrel2InspectionData")),
    "GetInspectionURL": ((("inspectionNo", "string", True), _TOK), ("GetInspectionURLResult", "string")),
    "Authenticate": ((("userName", "string", True), ("password", "string", True), ("salt", "string", True)),
                     ("AuthenticateResult", "ORVSecurityToken")),
    "RenewToken": ((_TOK,), ("RenewTokenResult", "ORVSecurityToken")),
    "IsTokenValid": ((_TOK,), ("IsTokenValidResult", "boolean")),
    "IsVehicleApprovedForPeriod": (_PERIOD, ("IsVehicleApprovedForPeriodResult", "Tindrel2VehicleApprovalData")),
    "GetInspectionsForVehicleForPeriod": (_PERIOD, ("GetInspectionsForVehicleForPeriodResult",
                                                    "ArrayOfTindrel2VehicleApprovalData")),
    "GetInspectionData": ((("inspectionNo", "string", True), _TOK), ("GetInspectionDataResult", "Tindrel2InspectionData")),
}

# Prefix of the record namespace in each operation's reply. A WCF service
# picks prefixes freely, so clients must resolve namespaces, not prefixes.
REPLY_PREFIX = {
    "GetVehicleData": "a", "GetCustomers": "a", "GetCustomer": "c", "SaveCustomer": "a",
    "SaveInspection": "d", "Authenticate": "b", "RenewToken": "a",
    "IsVehicleApprovedForPeriod": "a", "GetInspectionsForVehicleForPeriod": "e", "GetInspectionData": "a",
}

# --------------------------------------------------------------------------
# Scripted data

VALID_SIGNATURE = "SIG-verksted-1"
TOKEN_VALID_TO = "2030-12-31T12:00:00+01:00"
RENEWED_VALID_TO = "2031-06-30T11:00:00Z"
INSPECTION_CREATED = "2024-03-15T09:30:12.1234567+01:00"
FIRST_CUSTOMER_NO_INTERNAL = 5001
FIRST_INSPECTION_NO = 2001
URL_TEMPLATE = "https://example.invalid/kontroll/{}?a=1&b=2"

TEXT_UNKNOWN_USER = "Ukjent bruker"
TEXT_BAD_TOKEN = "Ugyldig eller utløpt token"
TEXT_LOOKUP_FAILED = "Oppslag feilet"
TEXT_CUSTOMER_NOT_SAVED = "Kunden kunne ikke lagres"
TEXT_NO_CUSTOMER_DATA = "Kundedata mangler"
TEXT_NO_INSPECTION_DATA = "Kontrolldata mangler"
TEXT_OPEN_INSPECTION = "Kjøretøyet har allerede en åpen kontroll"
TEXT_INTERNAL = "Intern feil i tjenesten"

APPROVAL_AB12345 = {
    "ApprovedBy": 12, "ApprovedDate": "2019-03-01T00:00:00", "ApprovedInspectionNo": "K-1001",
    "IsApproved": True, "RegNo": "AB12345",
}

# Every member filled, with values that differ from each other so that a
# member read from the wrong element shows.
VEHICLE_AB12345 = {
    "AutosysMakeCode": 5123, "AxleCount": 3, "AxleDriveCount": 1, "AxleLoadMaxFront": 1010,
    "AxleLoadMaxRear": 1020, "Body": "Stasjonsvogn", "Co2Emissions": 139, "Color": "Sølvgrå",
    "DPF": 4, "Displacement": 1968, "EngineCode": "TDX110", "EnginePower": "110.9",
    "EuMainNo": "e9*2007/46*4711", "EuVariant": "VAR-A1", "EuVersion": "VER-B2", "Euronorm": "Euro 6",
    "EuronormClass": "EURO 6 B", "FactoryOrLab": "Fabrikk Nord", "FrameBody": "AC Kombi",
    "Fuel": "Diesel", "FuelCode": 2, "Gear": "Manuell 6 trinn", "Group": "Personbil", "GroupNo": 101,
    "HasPneumaticBrakes": False, "HasTowbar": True, "IdentityNotes": "Identitet kontrollert & <OK>",
    "InsetMinFront": 45, "InsetMinRear": 46, "Length": 4669, "LoadIndexMinFront": "91",
    "LoadIndexMinRear": "94", "Model": "Kombi 2.0", "ModelYear": 2018,
    "PkkLastDate": "2023-05-10T00:00:00+02:00", "PkkNextDate": "2025-05-31T00:00:00Z",
    "RecentRegistrationDate": "2020-11-02T13:45:30.1234567+01:00", "RegNo": "AB12345",
    "RegistrationCountryDate": "2018-06-01T00:00:00", "RegistrationDate": "2018-05-30T22:00:00Z",
    "RegistrationNotes": "Registrert første gang i Norge", "RegistrationOffDate": "2031-01-01T00:00:00.5+01:00",
    "RimStandardFront": "7Jx17", "RimStandardRear": "7.5Jx17", "Rpm": 3000, "Seats": 5,
    "SpeedMinFront": "V", "SpeedMinRear": "W", "StationarySpl": 78, "TowBracketLength": 1090,
    "TowLoadMax": 80, "TowWeightNoBrakes": 750, "TowWeightWithBrakes": 1800,
    "TrackWidthMaxFront": 1549, "TrackWidthMaxRear": 1520, "Type": "TD5", "TypeApprovalNo": "NO-4711",
    "TypeApprovalValidFromVin": "TDL0000000A000001", "TyreStandardFront": "215/55R17",
    "TyreStandardRear": "225/50R17", "UsedImported": True, "VehicleApproval": APPROVAL_AB12345,
    "VehicleMake": "Motorverket", "VehicleMakeNo": 77, "Vin": "TDL0000000A123456", "Weight": 1475,
    "WeightRoofMax": 90, "WeightTotalMax": 2000, "WeightTruck": 3590, "WheelDrive": "Forhjulsdrift",
    "Width": 1832,
}

# Few members; every reference member absent (sent nil), value types at their
# defaults except the ones listed. Payload 2525 - 2600 - 75 is negative.
VEHICLE_CD67890 = {
    "AxleCount": 2, "EnginePower": "96.00", "ModelYear": 1987, "RegNo": "CD67890",
    "RegistrationDate": "1900-01-01T00:00:00", "Weight": 2600, "WeightTotalMax": 2525,
}

# Numbers that need care on the way to an automation client: a group number
# and an approver beyond 16 bits, a payload of exactly 2000 - 1400 - 75 = 525
# and an approval dated 1900.
VEHICLE_XY70000 = {
    "EnginePower": "74.99", "Group": "Spesialkjøretøy", "GroupNo": 70000, "RegNo": "XY70000",
    "VehicleApproval": {"ApprovedBy": 70000, "ApprovedDate": "1900-06-15T00:00:00",
                        "ApprovedInspectionNo": "K-0070", "IsApproved": True, "RegNo": "XY70000"},
    "Vin": "YV1XY700000070000", "Weight": 1400, "WeightTotalMax": 2000,
}

# Only the plate: every value type at its default, both weights 0.
VEHICLE_EM00000 = {"RegNo": "EM00000"}

VEHICLES = {"AB12345": VEHICLE_AB12345, "CD67890": VEHICLE_CD67890, "XY70000": VEHICLE_XY70000,
            "EM00000": VEHICLE_EM00000}

# What SaveInspection puts into its answer for these plates, beyond the usual:
# for XY70000 a count beyond 16 bits, a vehicle banned from use, the full VIN
# in place of the one sent and a customer number that is not a number.
INSPECTION_REPLY_CHANGES = {
    "XY70000": {"Count0": 70000, "CustomerNo": "12a", "VIN": VEHICLE_XY70000["Vin"],
                "VehicleBannedFromUse": True},
}

CUSTOMERS = [
    {"Address1": "Storgata 1", "City": "Tromsø", "Comments": "Fast kunde", "CustomerNo": "1001",
     "CustomerNoInternal": 3001, "Email": "post@bilservice-nord.example", "Fax": "77 00 00 02",
     "IsCompany": True, "Name": "Bilservice Nord AS", "WorkPhone": "77 00 00 01", "ZipCode": "9008"},
    {"Address1": "Fjellveien 12", "Address2": "Leilighet 3", "City": "Ålesund",
     "Comments": "Ring før levering & <viktig>", "CustomerNo": "1002", "CustomerNoInternal": 3002,
     "Email": "bjorn@example.invalid", "FirstName": "Bjørn", "HomePhone": "70 11 22 33",
     "IsCompany": False, "MiddleName": "Æ.", "MobilePhone": "900 11 222", "Name": "Ærlig",
     "ZipCode": "6003"},
    {"CustomerNo": "1003", "CustomerNoInternal": 3003, "FirstName": "Kari", "IsCompany": False,
     "Name": "Nordmann"},
]

HISTORY_AB12345 = [
    APPROVAL_AB12345,
    {"ApprovedBy": 0, "ApprovedDate": "2017-02-14T10:20:30.25Z", "ApprovedInspectionNo": "K-0901",
     "IsApproved": False, "RegNo": "AB12345"},
]

APPROVAL_CD67890 = {"ApprovedBy": 0, "IsApproved": False, "RegNo": "CD67890"}

INSPECTION_K1001 = {
    "Count0": 40, "Count1": 2, "Count2": 0, "Count3": 0, "Count4": 1, "Count9": 5,
    "CreateSucceeded": True, "Customer": CUSTOMERS[0], "CustomerNo": "1001", "InspectedByInitials": "OKH",
    "InspectionConcludedDate": "2019-03-01T00:00:00", "InspectionCreatedDate": "2019-02-28T08:15:00+01:00",
    "InspectionNo": "K-1001", "InspectionStatusName": "Godkjent", "InspectionStatusNo": 3,
    "InspectionTypeCode": "PKK", "InspectionTypeName": "Periodisk kjøretøykontroll", "InspectionTypeNo": 1,
    "Mileage": 45210, "OrderNo": "A-778", "PreviousInspectionNo": "0000000000", "RegNo": "AB12345",
    "VIN": "TDL0000000A123456", "Vehicle": VEHICLE_AB12345, "VehicleApproved": True,
    "VehicleBannedFromUse": False,
}


# --------------------------------------------------------------------------
# Faults

class ServiceFault(Exception):
    """A fault the service itself raises (HTTP 500, SOAP 1.1 Fault)."""

    def __init__(self, text, code="s:Client", code_ns=None, lang="nb-NO"):
        super().__init__(text)
        self.text, self.code, self.code_ns, self.lang = text, code, code_ns, lang


def internal_fault(text):
    return ServiceFault(text, "a:InternalServiceFault", DISPATCHER_NS, "en-US")


class DeserializationFault(ServiceFault):
    def __init__(self, detail):
        super().__init__("The formatter threw an exception while trying to deserialize the message: " + detail,
                         "a:DeserializationFailed", DISPATCHER_NS, "en-US")


def envelope(body_xml):
    return ('<s:Envelope xmlns:s="%s"><s:Body>%s</s:Body></s:Envelope>' % (SOAP_NS, body_xml)).encode("utf-8")


def render_fault(fault):
    if fault.code_ns:
        code = '<faultcode xmlns:%s="%s">%s</faultcode>' % (fault.code.split(":")[0], fault.code_ns, fault.code)
    else:
        code = "<faultcode>%s</faultcode>" % fault.code
    return envelope('<s:Fault>%s<faultstring xml:lang="%s">%s</faultstring></s:Fault>'
                    % (code, fault.lang, escape(fault.text)))


# --------------------------------------------------------------------------
# Reading requests. The reader behaves as the WCF serializer does: members
# are read strictly forward, so one that comes after a later member is
# dropped; elements in another namespace or unknown ones are skipped; a bad
# lexical value or xsi:nil on a value type fails the whole request. Every
# such event is also written to the request's "problems" list.

INT_RE = re.compile(r"^[+-]?[0-9]+$")
DECIMAL_RE = re.compile(r"^[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)$")
DATETIME_RE = re.compile(r"^(-?[0-9]{4,})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(\.[0-9]+)?"
                         r"(Z|[+-]([0-9]{2}):([0-9]{2}))?$")
RANGES = {"int": (-2 ** 31, 2 ** 31 - 1), "short": (-2 ** 15, 2 ** 15 - 1)}
XS_TYPE = {"string": "string", "int": "int", "short": "short", "boolean": "boolean",
           "decimal": "decimal", "dateTime": "dateTime"}


def split_tag(tag):
    if tag.startswith("{"):
        ns, local = tag[1:].split("}", 1)
        return ns, local
    return "", tag


def parse_with_namespaces(data):
    """Parse XML and remember the in-scope namespace bindings of each element."""
    scopes = {}
    stack = [{"xml": XML_NS}]
    pending = []
    root = None
    for event, item in ET.iterparse(io.BytesIO(data), events=("start-ns", "start", "end")):
        if event == "start-ns":
            pending.append(item)
        elif event == "start":
            scope = stack[-1]
            if pending:
                scope = dict(scope)
                scope.update(pending)
                pending = []
            scopes[item] = scope
            stack.append(scope)
            if root is None:
                root = item
        else:
            stack.pop()
    return root, scopes


def check_lexical(kind, text, where):
    """Return the value of a scalar element, or raise as the service would."""
    if kind == "string":
        return text
    value = text.strip()
    if kind in RANGES:
        lo, hi = RANGES[kind]
        if not INT_RE.match(value) or not lo <= int(value) <= hi:
            raise DeserializationFault("'%s' is not a valid xs:%s in %s" % (text, kind, where))
        return int(value)
    if kind == "boolean":
        if value not in ("true", "false", "1", "0"):
            raise DeserializationFault("'%s' is not a valid xs:boolean in %s" % (text, where))
        return value in ("true", "1")
    if kind == "decimal":
        if not DECIMAL_RE.match(value):
            raise DeserializationFault("'%s' is not a valid xs:decimal in %s" % (text, where))
        return value
    m = DATETIME_RE.match(value)
    ok = m is not None
    if ok:
        y, mo, d, h, mi, s = (int(m.group(i)) for i in range(1, 7))
        ok = 1 <= y <= 9999 and 1 <= mo <= 12 and 1 <= d <= 31 and h < 24 and mi < 60 and s < 60
        if ok:
            try:
                time.strptime("%04d-%02d-%02d" % (y, mo, d), "%Y-%m-%d")
            except ValueError:
                ok = False
        if ok and m.group(9) is not None:
            ok = int(m.group(9)) <= 14 and int(m.group(10)) < 60
    if not ok:
        raise DeserializationFault("'%s' is not a valid xs:dateTime in %s" % (text, where))
    return value


class RequestReader:
    def __init__(self, scopes, problems):
        self.scopes = scopes
        self.problems = problems

    def problem(self, text):
        self.problems.append(text)

    def resolve(self, elem, qname):
        prefix, _, local = qname.strip().rpartition(":")
        ns = self.scopes.get(elem, {}).get(prefix)
        return None if ns is None else (ns, local)

    def is_nil(self, elem, where):
        for key in elem.attrib:
            ns, local = split_tag(key)
            if local == "nil" and ns != XSI_NS:
                self.problem("%s: attribute nil in namespace '%s', not xsi; it is ignored" % (where, ns))
        value = elem.get("{%s}nil" % XSI_NS)
        if value is None:
            return False
        value = value.strip()
        if value not in ("true", "false", "1", "0"):
            raise DeserializationFault("xsi:nil='%s' is not a boolean in %s" % (value, where))
        nil = value in ("true", "1")
        if nil and (len(elem) or (elem.text or "").strip()):
            self.problem("%s: xsi:nil element has content" % where)
        return nil

    def check_type(self, elem, kind, where):
        declared = elem.get("{%s}type" % XSI_NS)
        if declared is None:
            return
        expected = (XS_NS, XS_TYPE[kind]) if kind in XS_TYPE else (RECORDS[kind].ns, kind)
        actual = self.resolve(elem, declared)
        if actual != expected:
            self.problem("%s: xsi:type '%s' is not {%s}%s" % (where, declared, expected[0], expected[1]))

    def raw(self, elem):
        """Value of an element for the log, without schema knowledge."""
        if elem.get("{%s}nil" % XSI_NS, "").strip() in ("true", "1"):
            return None
        children = [c for c in elem if isinstance(c.tag, str)]
        if children:
            return [[split_tag(c.tag)[1], self.raw(c)] for c in children]
        return elem.text or ""

    def value(self, elem, kind, nillable, where):
        """Returns (value for the log, value as the service sees it)."""
        self.check_type(elem, kind, where)
        if self.is_nil(elem, where):
            if not nillable:
                raise DeserializationFault("xsi:nil on the non-nillable %s (xs:%s)" % (where, kind))
            return None, None
        if kind in RECORDS:
            return self.record(elem, RECORDS[kind], where)
        if len(elem):
            self.problem("%s: unexpected child elements in an xs:%s" % (where, kind))
        text = elem.text or ""
        return text, check_lexical(kind, text, where)

    def members(self, elem, ns, table, where):
        """Read child elements against an ordered table of (name, kind, nillable)."""
        index = {entry[0]: i for i, entry in enumerate(table)}
        logged, seen = [], {}
        position, last = -1, None
        if (elem.text or "").strip():
            self.problem("%s: unexpected text content" % where)
        for child in elem:
            if not isinstance(child.tag, str):
                continue
            child_ns, local = split_tag(child.tag)
            child_where = "%s/%s" % (where, local)
            if (child.tail or "").strip():
                self.problem("%s: unexpected text after the element" % child_where)
            i = index.get(local)
            if child_ns != ns:
                self.problem("%s: in namespace '%s', expected '%s'; skipped" % (child_where, child_ns, ns))
            elif i is None:
                self.problem("%s: no such member; skipped" % child_where)
            elif i <= position:
                self.problem("%s: out of schema order (after %s); dropped" % (child_where, last))
            else:
                name, kind, nillable = table[i]
                shown, seen[name] = self.value(child, kind, nillable, child_where)
                logged.append([local, shown])
                position, last = i, local
                continue
            logged.append([local, self.raw(child)])
        return logged, seen

    def record(self, elem, rtype, where):
        return self.members(elem, rtype.ns, rtype.fields, where)


# --------------------------------------------------------------------------
# Writing replies in the form a WCF service sends: every member in schema
# order, absent reference members as i:nil, value types always with a value.

DEFAULTS = {"int": 0, "short": 0, "boolean": False, "decimal": "0", "dateTime": "0001-01-01T00:00:00"}


def scalar_text(kind, value):
    if kind == "boolean":
        return "true" if value else "false"
    if kind in ("int", "short"):
        return str(int(value))
    return escape(str(value))


def render_members(rtype, data, p):
    out = []
    for name, kind, nillable in rtype.fields:
        value = data.get(name)
        if value is None and not nillable:
            value = DEFAULTS[kind]
        if value is None:
            out.append('<%s:%s i:nil="true"/>' % (p, name))
        elif kind in RECORDS:
            out.append("<%s:%s>%s</%s:%s>" % (p, name, render_members(RECORDS[kind], value, p), p, name))
        else:
            out.append("<%s:%s>%s</%s:%s>" % (p, name, scalar_text(kind, value), p, name))
    return "".join(out)


def render_reply(op, result):
    rname, rkind = OPERATIONS[op][1]
    xsi = 'xmlns:i="%s"' % XSI_NS
    if rkind in ("string", "boolean"):
        if result is None:
            inner = '<%s i:nil="true" %s/>' % (rname, xsi)
        else:
            inner = "<%s>%s</%s>" % (rname, scalar_text(rkind, result), rname)
    elif result is None:
        inner = '<%s i:nil="true" %s/>' % (rname, xsi)
    else:
        p = REPLY_PREFIX[op]
        if rkind in ARRAYS:
            item = ARRAYS[rkind]
            ns = item.ns
            body = "".join('<%s:%s i:nil="true"/>' % (p, item.name) if r is None else
                           "<%s:%s>%s</%s:%s>" % (p, item.name, render_members(item, r, p), p, item.name)
                           for r in result)
        else:
            ns = RECORDS[rkind].ns
            body = render_members(RECORDS[rkind], result, p)
        inner = '<%s xmlns:%s="%s" %s>%s</%s>' % (rname, p, ns, xsi, body, rname)
    return envelope('<%sResponse xmlns="%s">%s</%sResponse>' % (op, TNS, inner, op))


# --------------------------------------------------------------------------
# The service's behaviour

class Service:
    def __init__(self):
        self.lock = threading.Lock()
        self.reset()

    def reset(self):
        with self.lock:
            self.next_customer = FIRST_CUSTOMER_NO_INTERNAL
            self.next_inspection = FIRST_INSPECTION_NO
            self.inspections = {}

    def counters(self):
        return {"nextCustomerNoInternal": self.next_customer,
                "nextInspectionNo": "K-%d" % self.next_inspection}

    def call(self, op, params):
        with self.lock:
            return getattr(self, "op_" + op)(params)

    @staticmethod
    def require_token(params):
        token = params.get("token")
        if not token or token.get("Signature") != VALID_SIGNATURE:
            raise ServiceFault(TEXT_BAD_TOKEN)
        return token

    @staticmethod
    def make_token(salt, valid_to):
        return {"CustomerName": "Testverkstedet AS", "CustomerNo": 4242, "Salt": salt,
                "Signature": VALID_SIGNATURE, "UserID": 7, "UserName": "verksted", "ValidTo": valid_to}

    def assign_customer_no(self, customer):
        """A customer already numbered keeps its number (an update)."""
        if customer.get("CustomerNoInternal"):
            return
        known = [c for c in CUSTOMERS if c["CustomerNo"] == customer.get("CustomerNo")]
        if known:
            customer["CustomerNoInternal"] = known[0]["CustomerNoInternal"]
        else:
            customer["CustomerNoInternal"] = self.next_customer
            self.next_customer += 1

    def op_Authenticate(self, p):
        if p.get("userName") == "feilbruker":
            raise ServiceFault(TEXT_UNKNOWN_USER)
        if p.get("userName") == "verksted" and p.get("password") == "hemmelig1":
            return self.make_token(p.get("salt"), TOKEN_VALID_TO)
        return None

    def op_RenewToken(self, p):
        token = self.require_token(p)
        return self.make_token(token.get("Salt"), RENEWED_VALID_TO)

    def op_IsTokenValid(self, p):
        token = p.get("token")
        return bool(token) and token.get("Signature") == VALID_SIGNATURE

    def op_GetVehicleData(self, p):
        self.require_token(p)
        if p.get("regNo") == "FAULT99":
            raise ServiceFault(TEXT_LOOKUP_FAILED)
        return copy.deepcopy(VEHICLES.get(p.get("regNo")))

    def op_GetCustomers(self, p):
        self.require_token(p)
        return copy.deepcopy(CUSTOMERS)

    def op_GetCustomer(self, p):
        self.require_token(p)
        found = [c for c in CUSTOMERS if c["CustomerNo"] == p.get("customerNo")]
        return copy.deepcopy(found[0]) if found else None

    def op_SaveCustomer(self, p):
        self.require_token(p)
        customer = p.get("customerData")
        if customer is None:
            raise ServiceFault(TEXT_NO_CUSTOMER_DATA)
        if customer.get("CustomerNo") == "FEIL":
            raise internal_fault(TEXT_CUSTOMER_NOT_SAVED)
        customer = dict(customer)
        if not customer.get("CustomerNoInternal"):
            customer["CustomerNoInternal"] = self.next_customer
            self.next_customer += 1
        return customer

    def op_SaveInspection(self, p):
        self.require_token(p)
        received = p.get("inspectionData")
        if received is None:
            raise ServiceFault(TEXT_NO_INSPECTION_DATA)
        inspection = copy.deepcopy(received)
        if inspection.get("RegNo") == "NEKT123":
            inspection.update(CreateSucceeded=False, CreateFailedReason=TEXT_OPEN_INSPECTION,
                              InspectionStatusNo=0, InspectionNo=None)
            return inspection
        number = inspection.get("InspectionNo")
        if not number:
            number = "K-%d" % self.next_inspection
            self.next_inspection += 1
        earlier = self.inspections.get(number, {})
        for name in ("Count0", "Count1", "Count2", "Count3", "Count4", "Count9"):
            inspection.setdefault(name, 0)
            if inspection[name] is None:
                inspection[name] = 0
        customer = inspection.get("Customer")
        if customer is None:
            known = [c for c in CUSTOMERS if c["CustomerNo"] == inspection.get("CustomerNo")]
            customer = copy.deepcopy(known[0]) if known else None
        if customer is not None:
            self.assign_customer_no(customer)
        inspection.update(
            InspectionNo=number, CreateSucceeded=True, CreateFailedReason=None,
            InspectionStatusNo=1, InspectionStatusName="Opprettet", Customer=customer,
            InspectionCreatedDate=earlier.get("InspectionCreatedDate", INSPECTION_CREATED),
            Vehicle=copy.deepcopy(VEHICLES.get(inspection.get("RegNo"))))
        inspection.update(copy.deepcopy(INSPECTION_REPLY_CHANGES.get(inspection.get("RegNo"), {})))
        self.inspections[number] = copy.deepcopy(inspection)
        return inspection

    def op_GetInspectionURL(self, p):
        self.require_token(p)
        number = p.get("inspectionNo")
        return URL_TEMPLATE.format(number) if number else None

    def op_GetInspectionData(self, p):
        self.require_token(p)
        number = p.get("inspectionNo")
        if number == "K-1001":
            return copy.deepcopy(INSPECTION_K1001)
        return copy.deepcopy(self.inspections.get(number))

    def op_IsVehicleApprovedForPeriod(self, p):
        self.require_token(p)
        return copy.deepcopy({"AB12345": APPROVAL_AB12345, "CD67890": APPROVAL_CD67890}.get(p.get("regNo")))

    def op_GetInspectionsForVehicleForPeriod(self, p):
        self.require_token(p)
        return copy.deepcopy(HISTORY_AB12345) if p.get("regNo") == "AB12345" else []


# --------------------------------------------------------------------------
# One SOAP exchange: parse, check, and produce (status, content type, body).

XML_TYPE = "text/xml; charset=utf-8"


class Exchange:
    def __init__(self, headers, body, path):
        self.problems = []
        self.operation = None
        self.params_log = []
        self.params = {}
        self.reply = None          # set when the request fails before dispatch
        self.headers, self.body, self.path = headers, body, path
        self.parse()

    def fail(self, fault, status=500):
        self.reply = (status, XML_TYPE, render_fault(fault))

    def parse(self):
        action = self.headers.get("SOAPAction")
        if action is None:
            self.problems.append("no SOAPAction header")
            action = ""
        elif not (len(action) >= 2 and action.startswith('"') and action.endswith('"')):
            self.problems.append("SOAPAction header is not quoted")
        action = action.strip().strip('"')
        op = action[len(ACTION_BASE):] if action.startswith(ACTION_BASE) else None
        if op in OPERATIONS:
            self.operation = op
        ctype = self.headers.get("Content-Type")
        media = (ctype or "").split(";")[0].strip().lower()
        charset = re.search(r"charset\s*=\s*\"?([^\";\s]+)", ctype or "", re.I)
        if media != "text/xml" or (charset and charset.group(1).lower() != "utf-8"):
            self.problems.append("content type %r, expected %r" % (ctype, XML_TYPE))
            self.reply = (415, None, b"")
            return
        try:
            root, scopes = parse_with_namespaces(self.body)
        except ET.ParseError as e:
            self.problems.append("not well-formed XML: %s" % e)
            self.reply = (400, None, b"")
            return
        if root.tag != "{%s}Envelope" % SOAP_NS:
            self.problems.append("root element %s is not the SOAP 1.1 Envelope" % root.tag)
            self.fail(ServiceFault("SOAP version mismatch", "s:VersionMismatch"))
            return
        bodies = [c for c in root if c.tag == "{%s}Body" % SOAP_NS]
        wrappers = [c for c in bodies[0]] if bodies else []
        wrappers = [w for w in wrappers if isinstance(w.tag, str)]
        if len(bodies) != 1 or len(wrappers) != 1:
            self.problems.append("the envelope must hold one Body with one element (%d, %d)"
                                 % (len(bodies), len(wrappers)))
        if self.operation is None:
            self.problems.append("unknown SOAPAction %r" % action)
            self.fail(ServiceFault(
                "The message with Action '%s' cannot be processed at the receiver, due to a ContractFilter "
                "mismatch at the EndpointDispatcher." % action, "a:ActionNotSupported", ADDRESSING_NONE_NS,
                "en-US"))
            return
        wrapper = wrappers[0] if wrappers else None
        expected = "{%s}%s" % (TNS, self.operation)
        if wrapper is None or wrapper.tag != expected:
            found = wrapper.tag if wrapper is not None else "nothing"
            self.problems.append("body element %s, expected %s" % (found, expected))
            self.fail(DeserializationFault("expected element '%s' in namespace '%s', found %s"
                                           % (self.operation, TNS, found)))
            return
        reader = RequestReader(scopes, self.problems)
        try:
            self.params_log, self.params = reader.members(wrapper, TNS, OPERATIONS[self.operation][0],
                                                          self.operation)
        except DeserializationFault as fault:
            self.problems.append(fault.text)
            self.fail(fault)

    def execute(self, service):
        if self.reply is not None:
            return self.reply
        try:
            result = service.call(self.operation, self.params)
        except ServiceFault as fault:
            return 500, XML_TYPE, render_fault(fault)
        return 200, XML_TYPE, render_reply(self.operation, result)


# --------------------------------------------------------------------------
# Switches, log and HTTP

class Switches:
    def __init__(self, fault=None, delay=0.0, count=None, operations=None, text=None):
        self.lock = threading.Lock()
        self.set(fault, delay, count, operations, text)

    def set(self, fault, delay, count=None, operations=None, text=None):
        if fault is not None and fault not in FAULT_MODES:
            raise ValueError("unknown fault mode %r; known: %s" % (fault, ", ".join(FAULT_MODES)))
        if operations is not None:
            unknown = [o for o in operations if o not in OPERATIONS]
            if unknown:
                raise ValueError("unknown operations %s" % unknown)
        self.fault, self.count, self.operations, self.text = fault, count, operations, text
        self.delay = float(delay)

    def state(self):
        return {"fault": self.fault, "delay": self.delay, "count": self.count,
                "operations": self.operations, "text": self.text}

    def take(self, operation):
        """The fault mode that applies to this request, counting it down."""
        with self.lock:
            if self.fault is None or (self.operations is not None and operation not in self.operations):
                return None
            if self.count is not None:
                if self.count <= 0:
                    return None
                self.count -= 1
            return self.fault


class RequestLog:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.entries = []
        self.file = open(path, "a", encoding="utf-8") if path else None

    def add(self, entry):
        with self.lock:
            entry = dict(seq=len(self.entries) + 1, **entry)
            self.entries.append(entry)
            if self.file:
                self.file.write(json.dumps(entry, ensure_ascii=False) + "\n")
                self.file.flush()

    def clear(self):
        with self.lock:
            n = len(self.entries)
            self.entries = []
            if self.file:
                self.file.truncate(0)
                self.file.flush()
            return n

    def snapshot(self):
        with self.lock:
            return list(self.entries)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "Tindrel2ServiceDouble/1.0"
    sys_version = ""

    def setup(self):
        super().setup()
        self.requests_seen = 0

    def parse_request(self):
        ok = super().parse_request()
        self.requests_seen += 1
        return ok

    def connection_info(self):
        """Which accepted connection carried this request, and the how-manieth it was there."""
        return {"connection": self.server.connections.id_of(self.request), "tls": self.server.tls is not None,
                "connectionRequest": self.requests_seen}

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("%s %s\n" % (self.address_string(), fmt % args))

    def read_body(self):
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            chunks = []
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return b"".join(chunks)
                chunks.append(self.rfile.read(size))
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length") or 0))

    def send(self, status, ctype, body, extra=()):
        self.send_response(status)
        if ctype:
            self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def send_json(self, status, value):
        self.send(status, "application/json; charset=utf-8", json.dumps(value, ensure_ascii=False).encode("utf-8"))

    def do_GET(self):
        path = self.path.split("?")[0]
        if path == "/log":
            self.send_json(200, self.server.log.snapshot())
        elif path == "/status":
            state = self.server.switches.state()
            state.update(self.server.service.counters(), requests=len(self.server.log.snapshot()))
            state.update(self.server.connections.counters())
            self.send_json(200, state)
        else:
            self.send(404, "text/plain; charset=utf-8", b"POST SOAP requests here\n")

    def do_POST(self):
        path = self.path.split("?")[0]
        body = self.read_body()
        if path == "/control":
            self.control(body)
        elif path == "/reset-log":
            cleared = self.server.log.clear()
            self.server.service.reset()
            self.server.connections.reset()
            self.send_json(200, {"cleared": cleared})
        else:
            self.soap(path, body)

    def control(self, body):
        switches = self.server.switches
        try:
            cmd = json.loads(body.decode("utf-8") or "{}")
            if not isinstance(cmd, dict):
                raise ValueError("expected a JSON object")
            with switches.lock:
                if "fault" in cmd:
                    switches.set(cmd["fault"], cmd.get("delay", switches.delay), cmd.get("count"),
                                 cmd.get("operations"), cmd.get("text"))
                elif "delay" in cmd:
                    switches.delay = float(cmd["delay"])
        except (ValueError, TypeError) as e:
            self.send_json(400, {"error": str(e)})
            return
        self.send_json(200, switches.state())

    def soap(self, path, body):
        exchange = Exchange(self.headers, body, path)
        fault = self.server.switches.take(exchange.operation)
        if fault in (None, "slow", "reset", "truncate", "drop-after-read"):
            status, ctype, reply = exchange.execute(self.server.service)
        else:
            status, ctype, reply = self.fault_reply(fault)
        entry = {
            "operation": exchange.operation,
            "soapAction": self.headers.get("SOAPAction"),
            "contentType": self.headers.get("Content-Type"),
            "params": exchange.params_log,
            "problems": exchange.problems,
            "path": path,
            "fault": fault,
            "status": None if fault in SILENT_FAULTS else status,
            "body": body.decode("utf-8", errors="replace"),
        }
        entry.update(self.connection_info())
        self.server.log.add(entry)
        if fault in ("refuse", "drop-after-read"):
            self.close_connection = True
            return
        if fault == "slow":
            time.sleep(self.server.switches.delay or SLOW_DEFAULT_SECONDS)
        if fault == "truncate":
            reply = reply[:len(reply) // 2]
        if fault == "reset":
            self.send_response(status)
            self.send_header("Content-Type", ctype)
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply[:len(reply) // 2])
            self.abort()
            return
        self.send(status, ctype, reply)

    def fault_reply(self, fault):
        text = self.server.switches.text
        if fault == "http500":
            return 500, XML_TYPE, render_fault(internal_fault(text or TEXT_INTERNAL))
        if fault == "http500-plain":
            return 500, "text/plain; charset=utf-8", (text or "Intern serverfeil").encode("utf-8")
        if fault == "html":
            page = ("<!DOCTYPE html><html><head><title>Vedlikehold</title></head><body><h1>Tjenesten er "
                    "midlertidig utilgjengelig</h1><p>Prøv igjen senere.</p></body></html>")
            return 200, "text/html; charset=utf-8", page.encode("utf-8")
        return 200, XML_TYPE, b""  # empty; refuse sends nothing at all

    def abort(self):
        """Reset the connection (RST) instead of closing it in order."""
        self.close_connection = True
        try:
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.wfile.close()
            self.rfile.close()
            self.connection.close()
        except OSError:
            pass


class Connections:
    """Numbers accepted connections and counts TLS handshakes; shared by the listeners of one double."""

    def __init__(self):
        self.lock = threading.Lock()
        self.last_id = 0
        self.ids = {}
        self.reset()

    def reset(self):
        with self.lock:
            self.accepted = self.handshakes = self.handshake_failures = 0
            self.last_failure = None

    def accept(self, sock):
        with self.lock:
            self.last_id += 1
            self.accepted += 1
            self.ids[id(sock)] = self.last_id
            return self.last_id

    def rebind(self, old, new):
        with self.lock:
            self.ids[id(new)] = self.ids.pop(id(old))

    def forget(self, sock):
        with self.lock:
            self.ids.pop(id(sock), None)

    def id_of(self, sock):
        with self.lock:
            return self.ids.get(id(sock))

    def handshake(self, error=None):
        with self.lock:
            if error is None:
                self.handshakes += 1
            else:
                self.handshake_failures += 1
                self.last_failure = error

    def counters(self):
        with self.lock:
            return {"connections": self.accepted, "tlsHandshakes": self.handshakes,
                    "tlsHandshakeFailures": self.handshake_failures, "lastTlsFailure": self.last_failure}


def tls_context(cert, key):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    return context


class DoubleServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, switches, log, verbose=False, tls=None, service=None, connections=None):
        super().__init__(("127.0.0.1", port), Handler)
        self.switches, self.log, self.verbose, self.tls = switches, log, verbose, tls
        self.service = service or Service()
        self.connections = connections or Connections()

    def process_request(self, request, client_address):
        self.connections.accept(request)
        super().process_request(request, client_address)

    def shutdown_request(self, request):
        # A lingering close, as web servers make it: after the answer, read
        # what the client still sends until it closes (or briefly), so that
        # closing with unread bytes does not reset the connection and destroy
        # the answer before the client has read it.
        try:
            request.shutdown(socket.SHUT_WR)
            request.settimeout(2)
            while request.recv(4096):
                pass
        except (OSError, ValueError):
            pass
        self.close_request(request)

    def finish_request(self, request, client_address):
        # The TLS handshake runs here, in the connection's own thread, so a
        # client that stalls or refuses the certificate holds up no other.
        if self.tls is not None:
            try:
                request.settimeout(30)
                wrapped = self.tls.wrap_socket(request, server_side=True)
            except (OSError, ssl.SSLError) as e:
                self.connections.handshake(str(e))
                self.connections.forget(request)
                return
            self.connections.handshake()
            self.connections.rebind(request, wrapped)
            wrapped.settimeout(None)
            request = wrapped
        try:
            super().finish_request(request, client_address)
        finally:
            self.connections.forget(request)
            if self.tls is not None:
                # The caller shuts down the plain socket, which the TLS one took over.
                self.shutdown_request(request)

    def handle_error(self, request, client_address):
        if self.verbose:
            super().handle_error(request, client_address)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Test double of the ITindrel2Service web service.")
    ap.add_argument("--port", type=int, default=0, help="TCP port on 127.0.0.1; 0 picks a free one")
    ap.add_argument("--port-file", help="write the port number here once listening")
    ap.add_argument("--log", help="append one JSON line per received request to this file")
    ap.add_argument("--fault", choices=FAULT_MODES, help="fault mode from the start")
    ap.add_argument("--delay", type=float, default=0.0,
                    help="seconds that mode slow waits before answering (default %g); "
                         "given without --fault it selects slow" % SLOW_DEFAULT_SECONDS)
    ap.add_argument("--fault-count", type=int, help="the fault hits only this many SOAP requests")
    ap.add_argument("--fault-ops", help="comma-separated operations the fault hits (default all)")
    ap.add_argument("--tls-cert", help="PEM server certificate (chain): serve HTTPS on --port")
    ap.add_argument("--tls-key", help="PEM private key of --tls-cert")
    ap.add_argument("--http-port-file", help="with TLS: write the port of the extra plain-HTTP listener here")
    ap.add_argument("--verbose", action="store_true", help="HTTP access log to stderr")
    args = ap.parse_args(argv)

    fault = args.fault or ("slow" if args.delay > 0 else None)
    ops = args.fault_ops.split(",") if args.fault_ops else None
    try:
        switches = Switches(fault, args.delay, args.fault_count, ops)
    except ValueError as e:
        ap.error(str(e))
    if bool(args.tls_cert) != bool(args.tls_key) or (args.http_port_file and not args.tls_cert):
        ap.error("--tls-cert and --tls-key go together; --http-port-file needs them")
    try:
        tls = tls_context(args.tls_cert, args.tls_key) if args.tls_cert else None
    except (OSError, ssl.SSLError) as e:
        ap.error("cannot load the certificate or key: %s" % e)
    server = DoubleServer(args.port, switches, RequestLog(args.log), args.verbose, tls)
    port = server.server_address[1]
    servers = [server]
    if tls is not None:
        servers.append(DoubleServer(0, switches, server.log, args.verbose, None, server.service,
                                    server.connections))

    stop = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.set())
    for each in servers:
        threading.Thread(target=each.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True).start()
    if args.http_port_file:
        write_port(args.http_port_file, servers[1].server_address[1])
    if args.port_file:
        write_port(args.port_file, port)
    print(port, flush=True)
    while not stop.wait(0.5):
        pass
    for each in servers:
        each.shutdown()
        each.server_close()
    return 0


def write_port(path, port):
    """Write the port so that a reader polling for the file never sees it half written."""
    tmp = path + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, path)


if __name__ == "__main__":
    sys.exit(main())
