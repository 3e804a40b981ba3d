#include "contract/xml_writer.h"

#include "base/text.h"

namespace tindrel {

namespace {

// Bytes that need a look: markup characters, C0 controls, and anything
// non-ASCII (validated as UTF-8).
constexpr bool NeedsCare(unsigned char c) {
  return c < 0x20 || c == '&' || c == '<' || c == '>' || c >= 0x80;
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view s) {
  size_t run = 0;  // start of the bytes copied unchanged
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (!NeedsCare(c) || c == '\t' || c == '\n') {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      size_t j = i;
      const char32_t cp = DecodeUtf8(s, j);
      const bool malformed = cp == 0xFFFD && !(j - i == 3 && s.substr(i, 3) == "\xEF\xBF\xBD");
      if (!malformed && cp != 0xFFFE && cp != 0xFFFF) {
        i = j;
        continue;
      }
      out.append(s, run, i - run);
      if (malformed) out += "\xEF\xBF\xBD";
      i = j;
      run = i;
      continue;
    }
    out.append(s, run, i - run);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#xD;"; break;
      default: break;  // a control character XML 1.0 does not allow: dropped
    }
    ++i;
    run = i;
  }
  out.append(s, run, s.size() - run);
}

}  // namespace tindrel
