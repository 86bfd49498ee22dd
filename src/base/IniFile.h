#pragma once
// A small reader for Windows-style ini files: [section] headers, key=value lines, ';' and '#'
// comments. Section and key names compare without regard to case, as Windows does.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

class IniFile {
public:
    static IniFile parse(std::string_view text);
    // Empty when the file cannot be read; `exists` tells the two apart.
    static std::optional<IniFile> load(const std::filesystem::path& path);

    // The value as written (trimmed); present-but-empty gives an empty string.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    std::string get(std::string_view section, std::string_view key, std::string_view fallback) const;
    // A whole number, or the fallback when the key is missing; throws std::invalid_argument
    // naming the key when the value is not a number.
    long long getInt(std::string_view section, std::string_view key, long long fallback) const;
    bool hasSection(std::string_view section) const;

private:
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

} // namespace kelvo
