#include "IniFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kelvo {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

} // namespace

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    std::string section;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty()) {
        const auto eol = text.find('\n');
        std::string_view line = trim(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            section = lower(trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            ini.sections_[section];
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = lower(trim(line.substr(0, eq)));
        if (key.empty()) continue;
        // The first occurrence of a key wins, as GetPrivateProfileString reads it.
        ini.sections_[section].emplace(key, std::string(trim(line.substr(eq + 1))));
    }
    return ini;
}

std::optional<IniFile> IniFile::load(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return parse(buffer.str());
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    const auto s = sections_.find(lower(section));
    if (s == sections_.end()) return std::nullopt;
    const auto k = s->second.find(lower(key));
    if (k == s->second.end()) return std::nullopt;
    return k->second;
}

std::string IniFile::get(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto value = get(section, key);
    return value ? *value : std::string(fallback);
}

long long IniFile::getInt(std::string_view section, std::string_view key, long long fallback) const {
    const auto value = get(section, key);
    if (!value || value->empty()) return fallback;
    long long result = 0;
    int base = 10;
    std::string_view digits = *value;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), result, base);
    if (ec != std::errc{} || end != digits.data() + digits.size())
        throw std::invalid_argument("[" + std::string(section) + "] " + std::string(key) + " = \"" + *value +
                                    "\" is not a whole number");
    return result;
}

bool IniFile::hasSection(std::string_view section) const { return sections_.count(lower(section)) != 0; }

} // namespace kelvo
