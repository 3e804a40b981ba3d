#include "double_log.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <stdexcept>

#include "winapi/unique_any.h"

namespace tindrel::test {
namespace {

using UniqueInternet = win::UniqueAny<win::NullIsInvalid<HINTERNET, &::InternetCloseHandle>>;

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  Json Document() {
    Json v = Value();
    Space();
    if (i_ != s_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(i_));
  }
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool Eat(char c) {
    Space();
    if (i_ < s_.size() && s_[i_] == c) {
      ++i_;
      return true;
    }
    return false;
  }
  void Expect(char c) {
    if (!Eat(c)) Fail("unexpected character");
  }
  bool Word(std::string_view w) {
    if (s_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  Json Value() {
    Space();
    if (i_ >= s_.size()) Fail("value expected");
    Json v;
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      v.kind = Json::Kind::Object;
      if (Eat('}')) return v;
      do {
        Space();
        std::string key = String();
        Expect(':');
        v.members.emplace_back(std::move(key), Value());
      } while (Eat(','));
      Expect('}');
    } else if (c == '[') {
      ++i_;
      v.kind = Json::Kind::Array;
      if (Eat(']')) return v;
      do v.items.push_back(Value());
      while (Eat(','));
      Expect(']');
    } else if (c == '"') {
      v.kind = Json::Kind::String;
      v.text = String();
    } else if (Word("true")) {
      v.kind = Json::Kind::Bool;
      v.boolean = true;
    } else if (Word("false")) {
      v.kind = Json::Kind::Bool;
    } else if (Word("null")) {
      v.kind = Json::Kind::Null;
    } else {
      const size_t start = i_;
      while (i_ < s_.size() && std::string_view("+-.eE0123456789").find(s_[i_]) != s_.npos) ++i_;
      if (start == i_) Fail("value expected");
      v.kind = Json::Kind::Number;
      v.number = std::strtod(std::string(s_.substr(start, i_ - start)).c_str(), nullptr);
    }
    return v;
  }

  void Append(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  unsigned Hex4() {
    if (i_ + 4 > s_.size()) Fail("short \\u escape");
    const unsigned v = std::strtoul(std::string(s_.substr(i_, 4)).c_str(), nullptr, 16);
    i_ += 4;
    return v;
  }
  std::string String() {
    if (i_ >= s_.size() || s_[i_] != '"') Fail("string expected");
    ++i_;
    std::string out;
    while (i_ < s_.size() && s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) break;
      c = s_[i_++];
      switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned cp = Hex4();
          if (cp >= 0xD800 && cp < 0xDC00 && Word("\\u"))
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
          Append(out, cp);
          break;
        }
        default: out += c;
      }
    }
    if (i_ >= s_.size()) Fail("unterminated string");
    ++i_;
    return out;
  }

  std::string_view s_;
  size_t i_ = 0;
};

// The value paired with `name` in a list of [name, value] pairs.
const Json* Pair(const Json& pairs, std::string_view name) {
  for (const Json& p : pairs.items) {
    if (p.items.size() == 2 && p.items[0].text == name) return &p.items[1];
  }
  return nullptr;
}

std::optional<std::string> Text(const Json* v) {
  if (!v || v->kind != Json::Kind::String) return std::nullopt;
  return v->text;
}

}  // namespace

const Json* Json::Find(std::string_view key) const {
  for (const auto& [k, v] : members) {
    if (k == key) return &v;
  }
  return nullptr;
}

Json ParseJson(std::string_view text) { return Parser(text).Document(); }

std::optional<std::string> LoggedRequest::Param(std::string_view name) const {
  return Text(Pair(params, name));
}

std::optional<std::string> LoggedRequest::Field(std::string_view record,
                                                std::string_view field) const {
  const Json* r = Pair(params, record);
  return r ? Text(Pair(*r, field)) : std::nullopt;
}

bool LoggedRequest::HasField(std::string_view record, std::string_view field) const {
  const Json* r = Pair(params, record);
  return r && Pair(*r, field);
}

std::vector<std::string> LoggedRequest::ParamNames() const {
  std::vector<std::string> names;
  for (const Json& p : params.items) {
    if (!p.items.empty()) names.push_back(p.items[0].text);
  }
  return names;
}

std::string DoubleLog::Call(const wchar_t* verb, const wchar_t* path, const std::string& body) {
  const UniqueInternet session(
      InternetOpenW(L"tindrel-objects-test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  if (!session) throw std::runtime_error("InternetOpen failed");
  const DWORD timeoutMs = 15000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(session.get(), option, const_cast<DWORD*>(&timeoutMs), sizeof timeoutMs);
  }
  const UniqueInternet connection(InternetConnectW(session.get(), L"127.0.0.1",
                                                   static_cast<INTERNET_PORT>(port_), nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) throw std::runtime_error("InternetConnect failed");
  const UniqueInternet request(HttpOpenRequestW(
      connection.get(), verb, path, nullptr, nullptr, nullptr,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES, 0));
  if (!request) throw std::runtime_error("HttpOpenRequest failed");
  const wchar_t headers[] = L"Content-Type: application/json\r\n";
  if (!HttpSendRequestW(request.get(), headers, static_cast<DWORD>(-1),
                        const_cast<char*>(body.data()), static_cast<DWORD>(body.size())))
    throw std::runtime_error("HttpSendRequest to the double failed: " +
                             std::to_string(GetLastError()));
  std::string reply;
  char buffer[8192];
  DWORD got = 0;
  while (InternetReadFile(request.get(), buffer, sizeof buffer, &got) && got > 0) {
    reply.append(buffer, got);
  }
  return reply;
}

void DoubleLog::Reset() {
  Call(L"POST", L"/control", R"({"fault": null})");
  Call(L"POST", L"/reset-log", "");
}

std::vector<LoggedRequest> DoubleLog::Requests() {
  const Json log = ParseJson(Call(L"GET", L"/log", ""));
  std::vector<LoggedRequest> out;
  for (const Json& entry : log.items) {
    LoggedRequest r;
    if (const Json* op = entry.Find("operation")) r.operation = op->text;
    if (const Json* p = entry.Find("params")) r.params = *p;
    out.push_back(std::move(r));
  }
  return out;
}

std::vector<std::string> DoubleLog::Operations() {
  std::vector<std::string> ops;
  for (const LoggedRequest& r : Requests()) ops.push_back(r.operation);
  return ops;
}

void DoubleLog::Fault(const std::string& mode, const std::string& operation, int count) {
  Call(L"POST", L"/control",
       R"({"fault": ")" + mode + R"(", "count": )" + std::to_string(count) +
           R"(, "operations": [")" + operation + R"("]})");
}

}  // namespace tindrel::test
