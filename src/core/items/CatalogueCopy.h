#pragma once
// The copies of the catalogues that a catalogue read leaves on disk. Nothing reads
// them back; they are for support. Losing one must never cost the user the download: the
// entries are built from the read buffer, so a copy that cannot be written is a warning only.
#include "platform/Paths.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace kelvo {

inline constexpr const char* kImageCatalogueFile = "image_opisy.bin";
inline constexpr const char* kCineCatalogueFile = "cine_opisy"; // in <target folder>/tmp, no extension

struct CatalogueCopy {
    std::optional<std::filesystem::path> written; // where the copy went
    std::string warning;                          // empty when it was written
};

// "image_opisy.bin" next to the executable, as the original program does; where that folder is not
// writable (an installed program), in the per-user state folder, created when missing. Written
// atomically, replacing an older copy. When neither place takes it, `warning` says so.
CatalogueCopy saveImageCatalogueCopy(std::span<const std::uint8_t> bytes, const platform::AppFolders& folders);

// "cine_opisy" in `tmpFolder` (the target folder's "tmp", which the caller has made).
CatalogueCopy saveCineCatalogueCopy(std::span<const std::uint8_t> bytes, const std::filesystem::path& tmpFolder);

} // namespace kelvo
