#include "CommandArgs.h"

#include <charconv>

namespace kelvo::cli {

CommandArgs::CommandArgs(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments) {
        const auto eq = a.find('=');
        if (a.starts_with("--") && eq != std::string::npos) {
            words_.push_back(a.substr(0, eq));
            words_.push_back(a.substr(eq + 1));
        } else words_.push_back(a);
    }
}

const std::string& CommandArgs::value(const std::string& option) {
    if (done()) throw UsageError(option + " needs a value");
    return next();
}

bool isOption(const std::string& word) { return word.size() > 1 && word.starts_with("-"); }

std::int64_t parseNumber(const std::string& text, const std::string& what, std::int64_t min, std::int64_t max) {
    std::int64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw UsageError(what + ": \"" + text + "\" is not a whole number");
    if (v < min || v > max)
        throw UsageError(what + ": " + text + " is out of range (" + std::to_string(min) + " to " +
                         std::to_string(max) + ")");
    return v;
}

CodePage parseCodePage(const std::string& name) {
    if (const auto page = codePageByName(name)) return *page;
    throw UsageError("--code-page: unknown code page \"" + name + "\" (windows-1250, windows-1252 or iso-8859-1)");
}

} // namespace kelvo::cli
