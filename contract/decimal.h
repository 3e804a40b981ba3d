#pragma once
// xs:decimal values, kept as their digits (never as a binary float).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tindrel {

class XsDecimal {
 public:
  // Validates the lexical form ([+-]? digits [. digits], at least one digit);
  // nullopt when malformed.
  static std::optional<XsDecimal> Parse(std::string_view text);

  // The value in canonical form: no '+', no leading zeros in the integer
  // part, no trailing zeros in the fraction, "0" for zero.
  const std::string& Text() const { return text_; }
  bool Negative() const { return !text_.empty() && text_[0] == '-'; }
  std::string_view IntegerDigits() const;
  std::string_view FractionDigits() const;

  // The value truncated toward zero; nullopt when it does not fit in 32 bits.
  std::optional<int32_t> TruncatedInt32() const;

  friend bool operator==(const XsDecimal&, const XsDecimal&) = default;

 private:
  explicit XsDecimal(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

}  // namespace tindrel
