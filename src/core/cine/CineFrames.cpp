#include "cine/CineFrames.h"

#include "imaging/Bicubic.h"
#include "imaging/TextRenderer.h"

#include <stdexcept>

namespace kelvo {
namespace {

constexpr int kMarkOffset = 16; // from the right edge when mirrored, from the top always
constexpr int kMarkLeft = 2;

} // namespace

void usrednijKlatki(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b, std::span<std::uint8_t> out) {
    if (a.size() != b.size() || a.size() != out.size()) throw std::invalid_argument("frames of different sizes");
    for (std::size_t i = 0; i < out.size(); ++i) {
        const unsigned sum = unsigned{a[i]} + unsigned{b[i]};
        unsigned mean = sum >> 1;
        if ((sum & 1u) != 0 && (mean & 1u) != 0) ++mean; // a half: to the even neighbour
        out[i] = static_cast<std::uint8_t>(mean);
    }
}

Bitmap24 klatkaDoBitmapy(std::span<const std::uint8_t> frame, bool mirrored) {
    if (frame.size() != kCineFrameBytes) throw std::invalid_argument("a raw cine frame holds 131072 bytes");
    Bitmap24 picture(kCineShownLines, kCineShownDepths);
    for (int y = 0; y < kCineShownDepths; ++y) {
        const auto row = picture.row(y);
        for (int c = 0; c < kCineShownLines; ++c) {
            const std::uint8_t v = frame[static_cast<std::size_t>(c) * kCineDepthSamples + static_cast<std::size_t>(y)];
            const int column = mirrored ? kCineShownLines - 1 - c : c;
            row[static_cast<std::size_t>(column)] = TRGBStr{v, v, v};
        }
    }
    return picture;
}

std::optional<std::int64_t> szerokoscKlatki(std::int64_t p_pole_widzenia, std::int64_t p_zakres) {
    if (p_zakres < 1) return std::nullopt;
    // p_pole_widzenia x 288 / p_zakres, rounded half to even. The scanner's values are 16-bit, so
    // nothing here comes near the 64-bit range; floor division keeps negative inputs exact too.
    const std::int64_t scaled = p_pole_widzenia * kCineFrameHeight;
    std::int64_t q = scaled / p_zakres;
    std::int64_t r = scaled % p_zakres;
    if (r < 0) {
        --q;
        r += p_zakres;
    }
    if (2 * r > p_zakres || (2 * r == p_zakres && (q & 1) != 0)) ++q;
    switch (((q % 4) + 4) % 4) {
    case 1: return q - 1;
    case 2: return q + 2;
    case 3: return q + 1;
    default: return q;
    }
}

bool szerokoscDozwolona(std::int64_t width) {
    return width >= kMinCineFrameWidth && width <= kMaxCineFrameWidth;
}

Bitmap24 klatkaCine(std::span<const std::uint8_t> mean, bool mirrored, int width) {
    if (!szerokoscDozwolona(width)) throw std::invalid_argument("a cine frame width outside 4..4096 pixels");
    const Bitmap24 grey = klatkaDoBitmapy(mean, mirrored);
    Bitmap24 frame = BicubicResize(grey, width, kCineFrameHeight);
    drawText(frame, 0, 0, kCineCaption, kDefaultCanvasPointSize, kCineCaptionColour, std::nullopt);
    const int markX = mirrored ? width - kMarkOffset : kMarkLeft;
    drawText(frame, markX, kMarkOffset, kCineMark, kCineMarkPoints, kCineMarkColour, std::nullopt);
    return frame;
}

} // namespace kelvo
