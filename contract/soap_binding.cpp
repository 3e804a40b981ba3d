#include "contract/soap_binding.h"

#include <charconv>
#include <type_traits>

#include "contract/xml_reader.h"
#include "contract/xml_writer.h"

namespace tindrel::soap {

namespace {

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

// One row of the operation list as the binding sees it; the reply's kind and
// record type follow from the method's result type. `arguments` is the row's
// argument list as the preprocessor spells it: "(regNo, token)".
template <class Result>
constexpr Operation OperationOf(std::string_view name, std::string_view resultElement,
                                std::string_view arguments, bool changesData) {
  Operation op{name, resultElement, ResultKind::Bool, nullptr, {},
               arguments.substr(1, arguments.size() - 2), changesData};
  if constexpr (std::is_same_v<Result, std::string>) {
    op.kind = ResultKind::String;
  } else if constexpr (requires { typename Result::Item; }) {
    // A data-contract list is named ArrayOf and its items' name.
    constexpr std::string_view kArrayOf = "ArrayOf";
    static_assert(Result::kXmlName.starts_with(kArrayOf));
    op.kind = ResultKind::Array;
    op.type = &Result::Item::kDescriptor;
    op.itemElement = Result::kXmlName.substr(kArrayOf.size());
  } else if constexpr (!std::is_same_v<Result, bool>) {
    op.kind = ResultKind::Record;
    op.type = &Result::element_type::kDescriptor;
  }
  return op;
}

}  // namespace

std::string_view NamespaceUri(XmlNamespace ns) {
  return ns == XmlNamespace::Security ? kSecurityNamespace : kContractsNamespace;
}

#define TINDREL_DEFINE_OPERATION(Name, Result, Parameters, Arguments, ChangesData) \
  constinit const Operation k##Name =                                             \
      OperationOf<Result>(#Name, #Name "Result", #Arguments, ChangesData);
TINDREL_SERVICE_OPERATIONS(TINDREL_DEFINE_OPERATION)
#undef TINDREL_DEFINE_OPERATION

#define TINDREL_OPERATION_ADDRESS(Name, ...) &k##Name,
const Operation* const kOperations[kOperationCount] = {
    TINDREL_SERVICE_OPERATIONS(TINDREL_OPERATION_ADDRESS)};
#undef TINDREL_OPERATION_ADDRESS

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
