#pragma once
// The short (8.3) form of a path, as the encoder's batch line carries it: no blanks, and only
// characters of the ANSI code page where the volume keeps short names.
#include <filesystem>
#include <string>

namespace kelvo::platform {

// Windows: GetShortPathNameW of an existing file or folder, as UTF-8 (the long form where the
// volume keeps no short names); empty when the path does not exist. Elsewhere the path as it
// is, which travels as one argv entry, or empty when it does not exist.
std::string shortPathText(const std::filesystem::path& path);

} // namespace kelvo::platform
