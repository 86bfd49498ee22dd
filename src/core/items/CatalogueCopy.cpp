#include "items/CatalogueCopy.h"

#include "base/AtomicFile.h"

#include <exception>
#include <vector>

namespace kelvo {
namespace {

// True when written; otherwise the reason is appended to `reasons`.
bool tryWrite(const std::filesystem::path& file, std::span<const std::uint8_t> bytes, std::vector<std::string>& reasons) {
    try {
        writeFileAtomically(file, bytes);
        return true;
    } catch (const std::exception& e) {
        reasons.push_back(e.what());
        return false;
    }
}

std::string warningText(const char* name, const std::vector<std::string>& reasons) {
    std::string text = std::string("Warning: the catalogue copy \"") + name + "\" could not be saved";
    for (std::size_t i = 0; i < reasons.size(); ++i) text += (i ? "; " : " (") + reasons[i];
    if (!reasons.empty()) text += ")";
    text += ". The catalogue itself was read.";
    return text;
}

} // namespace

CatalogueCopy saveImageCatalogueCopy(std::span<const std::uint8_t> bytes, const platform::AppFolders& folders) {
    CatalogueCopy result;
    std::vector<std::string> reasons;
    if (platform::isFolderWritable(folders.executable)) {
        const auto file = folders.executable / kImageCatalogueFile;
        if (tryWrite(file, bytes, reasons)) {
            result.written = file;
            return result;
        }
    } else {
        reasons.push_back("the program's folder " + pathToUtf8(folders.executable) + " is not writable");
    }
    std::string error;
    if (platform::ensureFolder(folders.state, &error)) {
        const auto file = folders.state / kImageCatalogueFile;
        if (tryWrite(file, bytes, reasons)) {
            result.written = file;
            return result;
        }
    } else {
        reasons.push_back("the state folder " + (folders.state.empty() ? std::string("is unknown")
                                                                         : pathToUtf8(folders.state) + ": " + error));
    }
    result.warning = warningText(kImageCatalogueFile, reasons);
    return result;
}

CatalogueCopy saveCineCatalogueCopy(std::span<const std::uint8_t> bytes, const std::filesystem::path& tmpFolder) {
    CatalogueCopy result;
    std::vector<std::string> reasons;
    const auto file = tmpFolder / kCineCatalogueFile;
    if (tryWrite(file, bytes, reasons)) result.written = file;
    else result.warning = warningText(kCineCatalogueFile, reasons);
    return result;
}

} // namespace kelvo
