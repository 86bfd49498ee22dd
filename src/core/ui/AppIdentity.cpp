#include "ui/AppIdentity.h"

namespace kelvo::ui {

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string applicationTitle(std::string_view executableFileName) {
    std::string title(executableFileName.substr(0, executableFileName.find('.')));
    for (std::size_t i = 1; i < title.size(); ++i)
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    return title;
}

std::optional<int> windowHeight(std::string_view executableFileName, bool projectSourceFileInWorkingFolder,
                                std::string_view executableSuffixUpper) {
    if (projectSourceFileInWorkingFolder) return std::nullopt;
    const std::string shipped = std::string(kShippedNameUpper) + std::string(executableSuffixUpper);
    return asciiUpper(executableFileName) == shipped ? kShortWindowHeight : kFullWindowHeight;
}

} // namespace kelvo::ui
