#include "ui/WindowPlacement.h"

#include "base/AtomicFile.h"
#include "base/IniFile.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace kelvo::ui {
namespace {

std::string sized(std::string_view key, DesktopSize desktop) {
    return std::string(key) + "(" + std::to_string(desktop.width) + "x" + std::to_string(desktop.height) + ")";
}

std::string four(int a, int b, int c, int d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

std::optional<int> parseInt(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

std::optional<std::vector<int>> parseFour(std::string_view text) {
    std::vector<int> values;
    while (true) {
        const auto comma = text.find(',');
        const auto value = parseInt(text.substr(0, comma));
        if (!value) return std::nullopt;
        values.push_back(*value);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (values.size() != 4) return std::nullopt;
    return values;
}

std::optional<std::string> sizedOrPlain(const IniFile& ini, std::string_view key, DesktopSize desktop) {
    if (auto value = ini.get(kPlacementSection, sized(key, desktop))) return value;
    return ini.get(kPlacementSection, key);
}

} // namespace

std::string placementText(const WindowPlacement& p, DesktopSize desktop, std::string_view lineEnd) {
    std::string text;
    auto line = [&](std::string_view l) {
        text += l;
        text += lineEnd;
    };
    const std::string minMax = four(p.minPosition.x, p.minPosition.y, p.maxPosition.x, p.maxPosition.y);
    const std::string norm =
        four(p.normalPosition.left, p.normalPosition.top, p.normalPosition.right, p.normalPosition.bottom);
    line("[" + std::string(kPlacementSection) + "]");
    line("ShowCmd=" + std::to_string(p.showCmd));
    line("Flags=" + std::to_string(p.flags));
    line("PixelsPerInch=" + std::to_string(p.pixelsPerInch));
    line("MinMaxPos=" + minMax);
    line(sized("MinMaxPos", desktop) + "=" + minMax);
    line("NormPos=" + norm);
    line(sized("NormPos", desktop) + "=" + norm);
    return text;
}

RestoredPlacement readPlacement(std::string_view text, DesktopSize desktop) {
    const IniFile ini = IniFile::parse(text);
    RestoredPlacement restored;
    if (const auto show = ini.get(kPlacementSection, "ShowCmd")) restored.showCmd = parseInt(*show);
    if (const auto norm = sizedOrPlain(ini, "NormPos", desktop))
        if (const auto values = parseFour(*norm)) restored.position = Point{(*values)[0], (*values)[1]};
    return restored;
}

std::filesystem::path placementFilePath(const platform::AppFolders& folders) {
    if (!folders.executable.empty() && platform::isFolderWritable(folders.executable))
        return folders.executable / kPlacementFileName;
    return folders.config / kPlacementFileName;
}

RestoredPlacement loadPlacement(const std::filesystem::path& file, DesktopSize desktop) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return readPlacement(text, desktop);
}

void savePlacement(const std::filesystem::path& file, const WindowPlacement& placement, DesktopSize desktop) {
    std::string error;
    if (file.has_parent_path() && !platform::ensureFolder(file.parent_path(), &error))
        throw std::runtime_error("cannot write " + pathToUtf8(file) + ": " + error);
    const std::string text = placementText(placement, desktop);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    writeFileAtomically(file, std::span<const std::uint8_t>(bytes, text.size()));
}

} // namespace kelvo::ui
