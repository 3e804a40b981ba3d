#include <windows.h>

#include "session/atomic_file.h"
#include "winapi/unique_any.h"

namespace tindrel {

std::filesystem::path TemporaryPathFor(const std::filesystem::path& target) {
  std::filesystem::path temp = target;
  temp += L".tmp";
  return temp;
}

bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes) {
  const std::filesystem::path temp = TemporaryPathFor(target);
  bool written = false;
  {
    win::UniqueFileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    written = true;
    while (written && !bytes.empty()) {
      DWORD n = 0;
      const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
      written = WriteFile(file.get(), bytes.data(), chunk, &n, nullptr) && n > 0;
      bytes.remove_prefix(n);
    }
    // On disk before the rename, so that a crash cannot leave a renamed but
    // empty file behind.
    written = written && FlushFileBuffers(file.get());
    written = file.CloseNow() && written;
  }
  if (written && MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileW(temp.c_str());
  return false;
}

}  // namespace tindrel
