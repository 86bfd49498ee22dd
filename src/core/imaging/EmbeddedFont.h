#pragma once
// The font file embedded at build time (sources.cmake generates its definition from
// DejaVuSans.ttf of Debian's fonts-dejavu-core; no font file is kept in the repository).
#include <cstddef>

namespace kelvo::fonts {

extern const unsigned char kUiFont[];
extern const std::size_t kUiFontSize;

} // namespace kelvo::fonts
