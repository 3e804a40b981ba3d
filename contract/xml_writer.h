#pragma once
// Writing XML text: a small escaping writer shared by both platforms (the
// requests are built as strings; no DOM is needed for writing).

#include <string>
#include <string_view>

namespace tindrel {

// Appends UTF-8 text as XML element content. & < > are escaped, and CR as
// &#xD; so that it survives the reader's end-of-line normalisation.
// Characters that XML 1.0 does not allow are dropped: the C0 controls other
// than TAB, LF and CR, and U+FFFE/U+FFFF. A malformed UTF-8 sequence becomes
// U+FFFD. The output is always well-formed UTF-8 character data.
void AppendXmlText(std::string& out, std::string_view utf8);

}  // namespace tindrel
