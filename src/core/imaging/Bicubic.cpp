// Bicubic resampling.
//
// Bit-exactness: every destination channel is the same chain of IEEE double operations the original program
// describes, in the same order: sx = px * fx, t = |sx - n|, wx = K(t), and likewise for y, then
// sum = sum + (sample * wx) * wy over tap rows m (outer) and tap columns n (inner), then
// std::nearbyint (round half to even under the default rounding mode) and clipping. Only work
// that depends on the column alone (ix, the four sample columns, the four wx) or on the row
// alone (iy, the four sample rows, the four wy) is hoisted out of the pixel loop; hoisting does
// not change a single operation. The pixel loop runs over the columns of a row side by side (each
// column's sums in its own slot), which leaves every pixel's own chain of operations as it was.
//
// Zero weights: a tap whose wx or wy is exactly 0 (every tap of a whole position but the centre
// one) adds (sample * wx) * wy = +0 or -0 to a sum. A sum that starts at +0 is never -0 under
// round-to-nearest (x + -x gives +0), and s + (+-0) == s for any other s, so leaving such terms out
// gives the very same bits; the loops skip a tap row whose wy is 0 and a tap column whose wx is 0
// in every column (for the image, whose width stays 480, three of the four).
//
// This file is compiled with -ffp-contract=off (sources.cmake) so that no compiler turns
// (sample * wx) * wy + sum into a fused multiply-add, which would round differently; it must not
// be built with -ffast-math or similar.
#include "imaging/Bicubic.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo {

double bicubicKernel(double t) {
    if (t < 1.0) return (t * t - t - 1.0) * (t - 1.0);
    return -(t - 1.0) * ((t - 2.0) * (t - 2.0));
}

namespace {

// The four taps of one destination coordinate along one axis.
struct Taps {
    std::array<int, 4> index{};     // sample column (or row) of tap k = 0..3, i.e. n = i - 1 + k
    std::array<double, 4> weight{}; // K(|s - n|)
};

// Taps for destination coordinate p on an axis whose source has `size` samples and scale f.
Taps tapsFor(int p, double f, int size) {
    const double s = static_cast<double>(p) * f;
    const int i = static_cast<int>(s); // s >= 0: truncation
    Taps taps;
    for (int k = 0; k < 4; ++k) {
        const int n = i - 1 + k;
        taps.weight[static_cast<std::size_t>(k)] = bicubicKernel(std::fabs(s - static_cast<double>(n)));
        taps.index[static_cast<std::size_t>(k)] = (n >= 0 && n <= size - 1) ? n : i;
    }
    return taps;
}

std::uint8_t toByte(double sum) {
    const double r = std::nearbyint(sum); // halves to even under the default rounding mode
    if (r > 255.0) return 255;
    if (r < 0.0) return 0;
    return static_cast<std::uint8_t>(r);
}

} // namespace

Bitmap24 BicubicResize(const Bitmap24& source, int W, int H) {
    if (W <= 0 || H <= 0)
        throw std::invalid_argument("BicubicResize: the new size must be positive, not " + std::to_string(W) + " x " +
                                    std::to_string(H));
    const int Ws = source.width();
    const int Hs = source.height();
    if (Ws <= 0 || Hs <= 0) throw std::invalid_argument("BicubicResize: the source bitmap is empty");

    // Round half to even needs the default rounding mode; restore the caller's afterwards.
    struct RoundingGuard {
        int saved = std::fegetround();
        RoundingGuard() {
            if (saved != FE_TONEAREST) std::fesetround(FE_TONEAREST);
        }
        ~RoundingGuard() {
            if (saved != FE_TONEAREST) std::fesetround(saved);
        }
    } roundingGuard;

    const double fx = static_cast<double>(Ws) / static_cast<double>(W);
    const double fy = static_cast<double>(Hs) / static_cast<double>(H);
    const std::size_t w = static_cast<std::size_t>(W);

    // Column taps as four planes (tap k of every column side by side), so that the pixel loop
    // below runs over columns with independent sums.
    std::array<std::vector<int>, 4> columnIndex;
    std::array<std::vector<double>, 4> columnWeight;
    for (std::size_t k = 0; k < 4; ++k) {
        columnIndex[k].resize(w);
        columnWeight[k].resize(w);
    }
    std::array<bool, 4> columnTapUsed{};
    for (int px = 0; px < W; ++px) {
        const Taps taps = tapsFor(px, fx, Ws);
        for (std::size_t k = 0; k < 4; ++k) {
            columnIndex[k][static_cast<std::size_t>(px)] = taps.index[k];
            columnWeight[k][static_cast<std::size_t>(px)] = taps.weight[k];
            if (taps.weight[k] != 0.0) columnTapUsed[k] = true;
        }
    }

    // The working copy S: the source's channels as doubles (exact for bytes), one plane each,
    // reached through its row table.
    const std::size_t ws = static_cast<std::size_t>(Ws);
    std::vector<double> planeR(ws * static_cast<std::size_t>(Hs));
    std::vector<double> planeG(planeR.size());
    std::vector<double> planeB(planeR.size());
    for (int y = 0; y < Hs; ++y) {
        const std::size_t start = static_cast<std::size_t>(y) * ws;
        const auto row = source.row(y);
        for (std::size_t x = 0; x < ws; ++x) {
            planeR[start + x] = row[x].R;
            planeG[start + x] = row[x].G;
            planeB[start + x] = row[x].B;
        }
    }

    Bitmap24 destination(W, H);
    std::vector<double> sumR(w);
    std::vector<double> sumG(w);
    std::vector<double> sumB(w);
    for (int py = 0; py < H; ++py) {
        const Taps rowTaps = tapsFor(py, fy, Hs);
        std::fill(sumR.begin(), sumR.end(), 0.0);
        std::fill(sumG.begin(), sumG.end(), 0.0);
        std::fill(sumB.begin(), sumB.end(), 0.0);
        // Per pixel exactly the documented order: tap rows m outer, tap columns n inner; the columns
        // are merely interleaved, which changes no pixel's chain of operations.
        for (std::size_t m = 0; m < 4; ++m) {
            const double wy = rowTaps.weight[m];
            if (wy == 0.0) continue; // adds only zeros: see the top of the file
            const std::size_t start = static_cast<std::size_t>(rowTaps.index[m]) * ws;
            const double* rowR = planeR.data() + start;
            const double* rowG = planeG.data() + start;
            const double* rowB = planeB.data() + start;
            for (std::size_t n = 0; n < 4; ++n) {
                if (!columnTapUsed[n]) continue; // this tap's wx is 0 in every column
                const int* index = columnIndex[n].data();
                const double* weight = columnWeight[n].data();
                double* r = sumR.data();
                double* g = sumG.data();
                double* b = sumB.data();
                for (std::size_t px = 0; px < w; ++px) {
                    const double wx = weight[px];
                    const int c = index[px];
                    r[px] = r[px] + (rowR[c] * wx) * wy;
                    g[px] = g[px] + (rowG[c] * wx) * wy;
                    b[px] = b[px] + (rowB[c] * wx) * wy;
                }
            }
        }
        TRGBStr* out = destination.row(py).data();
        for (std::size_t px = 0; px < w; ++px) {
            out[px].R = toByte(sumR[px]);
            out[px].G = toByte(sumG[px]);
            out[px].B = toByte(sumB[px]);
        }
    }
    return destination;
}

} // namespace kelvo
