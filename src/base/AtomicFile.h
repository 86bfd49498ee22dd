#pragma once
// Writing a file so that it is either replaced whole or left as it was.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace kelvo {

// Writes `bytes` to `target`, replacing a file of that name. The bytes go to a temporary file in
// the target's own folder (".<name>.<pid>-<random>.part"), which is written completely, flushed
// to the device, closed, and only then renamed over the target (POSIX rename; on Windows
// MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). Every step is checked. On
// any failure (folder missing, no permission, disk full, target locked or a folder...) the
// temporary file is removed, the old target is untouched, and std::runtime_error is thrown whose
// text names the target and the reason. A crash or a pulled cable in the middle leaves at most a
// stray ".part" file, never a truncated target.
//
// On POSIX a replaced target's permission bits carry over to the new file; a new file gets
// 0666 less the umask, as an ordinary create would.
void writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// A path as UTF-8 text for messages (never throws for unrepresentable names on Windows).
std::string pathToUtf8(const std::filesystem::path& path);

} // namespace kelvo
