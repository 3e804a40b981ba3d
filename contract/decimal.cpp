#include "contract/decimal.h"

#include <limits>

namespace tindrel {

std::optional<XsDecimal> XsDecimal::Parse(std::string_view s) {
  bool negative = false;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const size_t intStart = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  std::string_view intPart = s.substr(intStart, i - intStart);
  std::string_view fracPart;
  if (i < s.size() && s[i] == '.') {
    const size_t fracStart = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    fracPart = s.substr(fracStart, i - fracStart);
  }
  if (i != s.size() || (intPart.empty() && fracPart.empty())) return std::nullopt;
  while (!intPart.empty() && intPart[0] == '0') intPart.remove_prefix(1);
  while (!fracPart.empty() && fracPart.back() == '0') fracPart.remove_suffix(1);
  if (intPart.empty() && fracPart.empty()) return XsDecimal("0");
  std::string text;
  text.reserve(intPart.size() + fracPart.size() + 3);
  if (negative) text += '-';
  text += intPart.empty() ? std::string_view("0") : intPart;
  if (!fracPart.empty()) {
    text += '.';
    text += fracPart;
  }
  return XsDecimal(std::move(text));
}

std::string_view XsDecimal::IntegerDigits() const {
  std::string_view t = text_;
  if (Negative()) t.remove_prefix(1);
  return t.substr(0, t.find('.'));
}

std::string_view XsDecimal::FractionDigits() const {
  const size_t dot = text_.find('.');
  return dot == std::string::npos ? std::string_view() : std::string_view(text_).substr(dot + 1);
}

std::optional<int32_t> XsDecimal::TruncatedInt32() const {
  const std::string_view digits = IntegerDigits();
  if (digits.size() > 10) return std::nullopt;
  int64_t v = 0;
  for (char c : digits) v = v * 10 + (c - '0');
  if (Negative()) v = -v;
  if (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())
    return std::nullopt;
  return static_cast<int32_t>(v);
}

}  // namespace tindrel
