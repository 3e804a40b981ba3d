#pragma once
// Text conventions: strings in records and everywhere in the core are UTF-8.
// UTF-16 appears only at the platform edges (command line, BSTR, Win32) and
// ISO 8859-1 only in the files the program reads and writes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tindrel {

std::u16string Utf8ToUtf16(std::string_view utf8);
// Lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Every byte is the character with the same code.
std::string Latin1ToUtf8(std::string_view latin1);
// Characters outside ISO 8859-1 become '?'.
std::string Utf8ToLatin1(std::string_view utf8);

// Calls fn(codepoint) for every character; malformed sequences give U+FFFD.
template <typename Fn>
void ForEachCodePoint(std::string_view utf8, Fn fn);

// Cuts blanks and control characters (code <= 32) at both ends, as the job
// and cache formats define trimming.
std::string_view Trim(std::string_view s);
std::u16string_view Trim(std::u16string_view s);

// Parses an optionally signed decimal 32-bit integer; leading blanks are
// allowed, nothing else around the digits.
std::optional<int32_t> ParseInt32(std::string_view s);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Decodes one code point at s[i], advancing i. Malformed input gives U+FFFD
// and advances by one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i);

template <typename Fn>
void ForEachCodePoint(std::string_view utf8, Fn fn) {
  size_t i = 0;
  while (i < utf8.size()) fn(DecodeUtf8(utf8, i));
}

}  // namespace tindrel
