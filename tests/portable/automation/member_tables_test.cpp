#include "automation/member_tables.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tindrel {
namespace {

// One member of an interface as the type library source declares it.
struct IdlMember {
  std::string name;
  int dispid = 0;
  MemberKind kind = MemberKind::Method;
  std::string type;  // the property's IDL type; empty for a method
};

// The type library source with help strings emptied and comments removed
// (help strings may hold brackets and parentheses).
std::string ReadIdl() {
  std::ifstream in(TINDREL_SOURCE_DIR "/automation/Tindrel2.idl");
  std::stringstream text;
  text << in.rdbuf();
  const std::string raw = text.str();
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '"') {
      i = raw.find('"', i + 1);
      if (i == std::string::npos) break;
      out += "\"\"";
    } else if (raw.compare(i, 2, "//") == 0) {
      i = raw.find('\n', i);
      if (i == std::string::npos) break;
      out += '\n';
    } else {
      out += raw[i];
    }
  }
  return out;
}

std::string Between(const std::string& s, size_t& at, char open, char close) {
  const size_t begin = s.find(open, at);
  const size_t end = s.find(close, begin);
  at = end + 1;
  return s.substr(begin + 1, end - begin - 1);
}

// The word after the last ']' of a parameter list: "[out, retval] BSTR* Value".
std::string ParamType(const std::string& params) {
  std::istringstream words(params.substr(params.rfind(']') + 1));
  std::string type;
  words >> type;
  while (!type.empty() && type.back() == '*') type.pop_back();
  return type;
}

// The members of `iface` in vtable order, a get/put pair as one member.
std::vector<IdlMember> MembersOf(const std::string& idl, const std::string& iface) {
  const size_t start = idl.find("interface " + iface + " : IDispatch");
  if (start == std::string::npos) return {};
  const std::string body = idl.substr(start, idl.find("};", start) - start);
  std::vector<IdlMember> out;
  for (size_t at = body.find('['); at != std::string::npos; at = body.find('[', at)) {
    const std::string attributes = Between(body, at, '[', ']');
    std::istringstream head(body.substr(at, body.find('(', at) - at));
    std::string hresult, name;
    head >> hresult >> name;
    const std::string params = Between(body, at, '(', ')');
    size_t idAt = attributes.find("id(") + 2;
    IdlMember row{name, std::stoi(Between(attributes, idAt, '(', ')')), MemberKind::Method, ""};
    const bool get = attributes.find("propget") != std::string::npos;
    const bool put = attributes.find("propput") != std::string::npos;
    if (get || put) {
      row.type = ParamType(params);
      row.kind = MemberKind::Get;
    }
    if (put && !out.empty() && out.back().name == name) {
      out.back().kind = MemberKind::GetPut;
      continue;
    }
    out.push_back(row);
  }
  return out;
}

std::string IdlType(AutoType t) {
  switch (t) {
    case AutoType::String: return "BSTR";
    case AutoType::Int32: return "long";
    case AutoType::Int16: return "short";
    case AutoType::Bool: return "VARIANT_BOOL";
    case AutoType::Date: return "DATE";
  }
  return "?";
}

void ExpectSameMembers(std::span<const MemberRow> table, const std::string& iface) {
  static const std::string idl = ReadIdl();
  const std::vector<IdlMember> declared = MembersOf(idl, iface);
  ASSERT_EQ(declared.size(), table.size()) << iface;
  for (size_t i = 0; i < table.size(); ++i) {
    const MemberRow& row = table[i];
    SCOPED_TRACE(iface + "." + std::string(row.name));
    EXPECT_EQ(declared[i].name, row.name);
    EXPECT_EQ(declared[i].dispid, row.dispid);
    EXPECT_EQ(declared[i].kind, row.kind);
    EXPECT_EQ(row.source == Source::Computed, row.compute != nullptr);
    if (row.kind != MemberKind::Method) {
      EXPECT_EQ(declared[i].type, IdlType(row.type));
    }
  }
}

TEST(MemberTables, FollowTheTypeLibraryMemberForMember) {
  ExpectSameMembers(kKontrollMembers, "IORV_Kontroll");
  ExpectSameMembers(kKontroll2Members, "IORV_Kontroll2");
  ExpectSameMembers(kBilMembers, "IORV_Bil");
  ExpectSameMembers(kBil2Members, "IORV_Bil2");
  ExpectSameMembers(kKundeMembers, "IORV_Kunde");
  ExpectSameMembers(kVelkarMembers, "IORV_Velkar");
}

TEST(MemberTables, LookUpByDispid) {
  static_assert(DispidOf(kBil2Members, "Godkjdato") == 4);
  static_assert(DispidOf(kBil2Members, "Godkjentdato") == 23);
  static_assert(DispidOf(kBilMembers, "Godkjentdato") == 4);
  static_assert(DispidOf(kKontroll2Members, "StartKontroll") == 5);
  ASSERT_NE(FindMember(kBilMembers, 4), nullptr);
  EXPECT_EQ(FindMember(kBilMembers, 4)->source, Source::DateTimeAfter1900);
  EXPECT_EQ(FindMember(kBil2Members, 4)->source, Source::DateTime);
  EXPECT_EQ(FindMember(kKontrollMembers, 14), nullptr);
  EXPECT_EQ(FindMember(kKontroll2Members, 23), nullptr);
}

}  // namespace
}  // namespace tindrel
