#include "contract/soap_binding.h"

#include <charconv>

#include "contract/xml_reader.h"
#include "contract/xml_writer.h"

namespace tindrel::soap {

namespace {

using C = Tindrel2CustomerData2;
using I = Tindrel2InspectionData2;
using V = Tindrel2VehicleData2;
using A = Tindrel2VehicleApprovalData2;
using T = ORVSecurityToken2;

// Prefix of a record namespace inside a request, declared on the record's
// element.
std::string_view Prefix(XmlNamespace ns) { return ns == XmlNamespace::Security ? "b" : "a"; }

void AppendInt(std::string& out, int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void OpenTag(std::string& out, std::string_view prefix, std::string_view name) {
  out += '<';
  out += prefix;
  out += ':';
  out += name;
  out += '>';
}

void CloseTag(std::string& out, std::string_view prefix, std::string_view name) {
  out += "</";
  out += prefix;
  out += ':';
  out += name;
  out += '>';
}

void NilTag(std::string& out, std::string_view prefix, std::string_view name) {
  out += '<';
  out += prefix;
  out += ':';
  out += name;
  out += " i:nil=\"true\"/>";
}

void AppendNamespaceDeclaration(std::string& out, XmlNamespace ns) {
  out += " xmlns:";
  out += Prefix(ns);
  out += "=\"";
  out += NamespaceUri(ns);
  out += '"';
}

// The flagged fields of `r`, as children in its type's namespace. The
// caller has declared that namespace's prefix and xmlns:i.
void AppendFields(std::string& out, const Record& r) {
  const RecordType& type = r.Descriptor();
  const std::string_view p = Prefix(type.ns);
  for (size_t f = 0; f < type.fields.size(); ++f) {
    if (!r.Has(f)) continue;
    const FieldInfo& fi = type.fields[f];
    switch (fi.kind) {
      case FieldKind::String:
        OpenTag(out, p, fi.name);
        AppendXmlText(out, r.GetString(f));
        CloseTag(out, p, fi.name);
        break;
      case FieldKind::Int32:
        OpenTag(out, p, fi.name);
        AppendInt(out, r.GetInt32(f));
        CloseTag(out, p, fi.name);
        break;
      case FieldKind::Int16:
        OpenTag(out, p, fi.name);
        AppendInt(out, r.GetInt16(f));
        CloseTag(out, p, fi.name);
        break;
      case FieldKind::Bool:
        OpenTag(out, p, fi.name);
        out += r.GetBool(f) ? "true" : "false";
        CloseTag(out, p, fi.name);
        break;
      case FieldKind::DateTime:
      case FieldKind::Decimal: {
        const XsDateTime* dt = fi.kind == FieldKind::DateTime ? r.GetDateTime(f) : nullptr;
        const XsDecimal* dec = fi.kind == FieldKind::Decimal ? r.GetDecimal(f) : nullptr;
        if (dt || dec) {
          OpenTag(out, p, fi.name);
          out += dt ? dt->Text() : dec->Text();  // both lexical forms need no escaping
          CloseTag(out, p, fi.name);
        } else if (fi.nillable) {
          NilTag(out, p, fi.name);
        }
        break;
      }
      case FieldKind::Record: {
        const Record* nested = r.GetRecord(f);
        if (!nested) {
          if (fi.nillable) NilTag(out, p, fi.name);
          break;
        }
        const XmlNamespace nestedNs = nested->Descriptor().ns;
        out += '<';
        out += p;
        out += ':';
        out += fi.name;
        if (nestedNs != type.ns) AppendNamespaceDeclaration(out, nestedNs);
        out += '>';
        AppendFields(out, *nested);
        CloseTag(out, p, fi.name);
        break;
      }
    }
  }
}

}  // namespace

std::string_view NamespaceUri(XmlNamespace ns) {
  return ns == XmlNamespace::Security ? kSecurityNamespace : kContractsNamespace;
}

const Operation kGetVehicleData{"GetVehicleData", "GetVehicleDataResult", ResultKind::Record,
                                &V::kDescriptor, {}};
const Operation kGetCustomers{"GetCustomers", "GetCustomersResult", ResultKind::Array,
                              &C::kDescriptor, "Tindrel2CustomerData"};
const Operation kGetCustomer{"GetCustomer", "GetCustomerResult", ResultKind::Record,
                             &C::kDescriptor, {}};
const Operation kSaveCustomer{"SaveCustomer", "SaveCustomerResult", ResultKind::Record,
                              &C::kDescriptor, {}, true};
const Operation kSaveInspection{"SaveInspection", "SaveInspectionResult", ResultKind::Record,
                                &I::kDescriptor, {}, true};
const Operation kGetInspectionURL{"GetInspectionURL", "GetInspectionURLResult",
                                  ResultKind::String, nullptr, {}};
const Operation kAuthenticate{"Authenticate", "AuthenticateResult", ResultKind::Record,
                              &T::kDescriptor, {}};
const Operation kRenewToken{"RenewToken", "RenewTokenResult", ResultKind::Record,
                            &T::kDescriptor, {}};
const Operation kIsTokenValid{"IsTokenValid", "IsTokenValidResult", ResultKind::Bool, nullptr,
                              {}};
const Operation kIsVehicleApprovedForPeriod{"IsVehicleApprovedForPeriod",
                                            "IsVehicleApprovedForPeriodResult",
                                            ResultKind::Record, &A::kDescriptor, {}};
const Operation kGetInspectionsForVehicleForPeriod{
    "GetInspectionsForVehicleForPeriod", "GetInspectionsForVehicleForPeriodResult",
    ResultKind::Array, &A::kDescriptor, "Tindrel2VehicleApprovalData"};
const Operation kGetInspectionData{"GetInspectionData", "GetInspectionDataResult",
                                   ResultKind::Record, &I::kDescriptor, {}};

const Operation* const kOperations[12] = {
    &kGetVehicleData,  &kGetCustomers,      &kGetCustomer,
    &kSaveCustomer,    &kSaveInspection,    &kGetInspectionURL,
    &kAuthenticate,    &kRenewToken,        &kIsTokenValid,
    &kIsVehicleApprovedForPeriod, &kGetInspectionsForVehicleForPeriod, &kGetInspectionData};

std::string QuotedSoapAction(const Operation& op) {
  std::string s;
  s.reserve(kActionPrefix.size() + op.name.size() + 2);
  s += '"';
  s += kActionPrefix;
  s += op.name;
  s += '"';
  return s;
}

bool ActionChangesData(std::string_view quotedSoapAction) {
  for (const Operation* op : kOperations) {
    if (QuotedSoapAction(*op) == quotedSoapAction) return op->changesData;
  }
  return true;
}

void AppendRecordElement(std::string& out, std::string_view name, const Record* record) {
  out += '<';
  out += name;
  if (!record) {
    out += " i:nil=\"true\" xmlns:i=\"";
    out += kXsiNamespace;
    out += "\"/>";
    return;
  }
  AppendNamespaceDeclaration(out, record->Descriptor().ns);
  out += " xmlns:i=\"";
  out += kXsiNamespace;
  out += "\">";
  AppendFields(out, *record);
  out += "</";
  out += name;
  out += '>';
}

RequestWriter::RequestWriter(const Operation& op) : op_(op) {
  out_.reserve(2048);
  out_ += "<s:Envelope xmlns:s=\"";
  out_ += kEnvelopeNamespace;
  out_ += "\"><s:Body><";
  out_ += op.name;
  out_ += " xmlns=\"";
  out_ += kTargetNamespace;
  out_ += "\">";
}

void RequestWriter::String(std::string_view name, std::string_view value) {
  out_ += '<';
  out_ += name;
  out_ += '>';
  AppendXmlText(out_, value);
  out_ += "</";
  out_ += name;
  out_ += '>';
}

void RequestWriter::Int32(std::string_view name, int32_t value) {
  out_ += '<';
  out_ += name;
  out_ += '>';
  AppendInt(out_, value);
  out_ += "</";
  out_ += name;
  out_ += '>';
}

void RequestWriter::Record(std::string_view name, const tindrel::Record* record) {
  AppendRecordElement(out_, name, record);
}

std::string RequestWriter::Finish() {
  out_ += "</";
  out_ += op_.name;
  out_ += "></s:Body></s:Envelope>";
  return std::move(out_);
}

}  // namespace tindrel::soap
