#pragma once
// The service double's control side, from the Windows client: its request
// log (GET /log), its fault switches (POST /control) and the reset of both
// (POST /reset-log), over WinInet on 127.0.0.1. Just enough JSON to read
// the log.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tindrel::test {

struct Json {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;

  // The member `key` of an object, or null.
  const Json* Find(std::string_view key) const;
};

// Throws std::runtime_error on malformed input.
Json ParseJson(std::string_view text);

// One request as the double logged it. Parameters and records are ordered
// [name, value] pairs; a nil value is Kind::Null.
struct LoggedRequest {
  std::string operation;
  Json params;

  // The value of parameter `name`, or of field `field` of that record
  // parameter; nullopt when absent or nil.
  std::optional<std::string> Param(std::string_view name) const;
  std::optional<std::string> Field(std::string_view record, std::string_view field) const;
  // Whether the record parameter `record` carries `field` at all.
  bool HasField(std::string_view record, std::string_view field) const;
  // The parameter names in the order they were sent.
  std::vector<std::string> ParamNames() const;
};

class DoubleLog {
 public:
  explicit DoubleLog(int port) : port_(port) {}

  // Clears the log and the switches; the double numbers anew from K-2001 and
  // customer 5001.
  void Reset();
  std::vector<LoggedRequest> Requests();
  std::vector<std::string> Operations();
  // The fault `mode` for the next `count` requests of `operation`.
  void Fault(const std::string& mode, const std::string& operation, int count = 1);

 private:
  std::string Call(const wchar_t* verb, const wchar_t* path, const std::string& body);
  int port_;
};

}  // namespace tindrel::test
