#pragma once
// Replacing a small file so that a reader sees either the old contents or
// the new, never a part: the bytes go to a temporary file beside the target,
// which is then renamed over it.

#include <filesystem>
#include <string_view>

namespace tindrel {

// The temporary file's name beside `target`.
std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

// False when anything failed; the target is then as it was and no temporary
// file is left. The file is readable by its owner only where the platform has
// such permissions (it holds a security token).
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tindrel
