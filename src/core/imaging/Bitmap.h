#pragma once
// A 24-bit bitmap in memory: rows top to bottom, each pixel three bytes B, G, R.
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace kelvo {

struct TRGBStr {
    std::uint8_t B = 0;
    std::uint8_t G = 0;
    std::uint8_t R = 0;
    friend bool operator==(const TRGBStr&, const TRGBStr&) = default;
};
static_assert(sizeof(TRGBStr) == 3);

class Bitmap24 {
public:
    Bitmap24() = default;
    Bitmap24(int width, int height, TRGBStr fill = {}) : width_(width), height_(height) {
        if (width < 0 || height < 0) throw std::invalid_argument("a bitmap's size cannot be negative");
        pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
    }

    int width() const { return width_; }
    int height() const { return height_; }

    // A row, as the bitmap's row tables give it.
    std::span<TRGBStr> row(int y) {
        return {pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                static_cast<std::size_t>(width_)};
    }
    std::span<const TRGBStr> row(int y) const {
        return {pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                static_cast<std::size_t>(width_)};
    }
    TRGBStr& at(int x, int y) { return row(y)[static_cast<std::size_t>(x)]; }
    const TRGBStr& at(int x, int y) const { return row(y)[static_cast<std::size_t>(x)]; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    friend bool operator==(const Bitmap24&, const Bitmap24&) = default;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<TRGBStr> pixels_;
};

} // namespace kelvo
