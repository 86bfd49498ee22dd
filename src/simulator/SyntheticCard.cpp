// The built-in card of the simulated scanner: seven stored images and two cines that look like
// ultrasound, with one empty slot in each catalogue so that slot numbers and list positions differ.
//
// Everything here is the simulator's own: the description records are written with a small
// record writer of this file (never with the code under test), and the pictures are made with a
// fixed-seed generator and with arithmetic that gives the same bits on every platform. Only
// +, -, *, / and sqrt (all exactly rounded by IEEE 754) and floor/frexp (exact) are used; sin,
// exp and log are computed here from those, because the C libraries of Linux and Windows do not
// round them alike, and the Windows and Linux builds must produce identical bytes.
//
// Geometry, as the scanner lays the bytes out:
// - image: 512 scan lines of 256 samples, byte line * 256 + sample. Sample 255
//   is the top of the picture, sample 0 the bottom. Scanner unit x is line 2x; scanner unit y is
//   sample 255 - (y - o), o the range's data offset; depth in mm = s * (y - 48), s the scale
//   (range mm * 100 / zoom, truncated, / 256). One horizontal unit covers s mm too, so a line
//   covers s / 2 mm.
// - cine: 256 frames of 131,072 bytes; in a frame, byte line * 256 + depth index,
//   depth index 0 at the top. Lines 0..383 span the field of view, 256 depth indexes the depth
//   range of the cine's record.
//
// Pictures are made when a provider is called, never when the card is built.
#include "simulator/Card.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

// A fused multiply-add rounds once where a multiply and an add round twice: a build that may fuse
// (any -march with FMA) would make other bytes. Keep every multiply and add apart.
#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace kelvo::sim {
namespace {

// ---------------------------------------------------------------------------------------------
// Numbers that are the same on every platform.

constexpr std::uint64_t splitmix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A counter for the generator: the same (seed, a, b, c) always gives the same numbers.
std::uint64_t key(std::uint64_t seed, std::uint64_t a, std::uint64_t b, std::uint64_t c = 0) {
    return splitmix(seed) + (((a << 12) + b) << 3) + c;
}

// Uniform in [0, 1).
double uniform(std::uint64_t k) { return static_cast<double>(splitmix(k) >> 11) * (1.0 / 9007199254740992.0); }

// Nearly normal, mean 0, variance 1: the sum of four uniform 16-bit parts (Irwin-Hall).
double gaussian(std::uint64_t k) {
    const std::uint64_t h = splitmix(k);
    const double sum = static_cast<double>(h & 0xFFFF) + static_cast<double>((h >> 16) & 0xFFFF) +
                       static_cast<double>((h >> 32) & 0xFFFF) + static_cast<double>(h >> 48);
    return (sum / 65536.0 - 2.0) * 1.7320508075688772; // variance of each part 1/12
}

constexpr double kPi = 3.14159265358979323846;

double sine(double x) {
    x -= 2 * kPi * std::floor(x / (2 * kPi) + 0.5); // [-pi, pi]
    if (x > kPi / 2) x = kPi - x;
    else if (x < -kPi / 2) x = -kPi - x;
    const double x2 = x * x;
    return x * (1 - x2 / 6 * (1 - x2 / 20 * (1 - x2 / 42 * (1 - x2 / 72 * (1 - x2 / 110 * (1 - x2 / 156))))));
}

double cosine(double x) { return sine(x + kPi / 2); }

// e^-x for x >= 0.
double expNeg(double x) {
    if (x <= 0) return 1;
    if (x > 700) return 0;
    const double y = x / 1024;
    double p = 1 - y * (1 - y / 2 * (1 - y / 3 * (1 - y / 4 * (1 - y / 5))));
    for (int i = 0; i < 10; ++i) p *= p;
    return p;
}

// Natural logarithm for x > 0.
double logn(double x) {
    int e = 0;
    double m = std::frexp(x, &e); // x = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752) {
        m *= 2;
        --e;
    }
    const double t = (m - 1) / (m + 1), t2 = t * t; // |t| < 0.172
    const double s = 2 * t * (1 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 / 11)))));
    return s + static_cast<double>(e) * 0.69314718055994531;
}

// A smooth bump: 1 at 0, 0 from |t| = 1 on.
double bump(double t) {
    const double u = 1 - t * t;
    return u <= 0 ? 0 : u * u;
}

double smoothstep(double a, double b, double x) {
    if (x <= a) return 0;
    if (x >= b) return 1;
    const double t = (x - a) / (b - a);
    return t * t * (3 - 2 * t);
}

// Smooth value noise in about [-1, 1], lattice spacing 1.
double valueNoise(std::uint64_t seed, double x, double y) {
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const double tx = smoothstep(0, 1, x - fx), ty = smoothstep(0, 1, y - fy);
    auto at = [&](std::int64_t a, std::int64_t b) {
        return 2 * uniform(seed ^ (static_cast<std::uint64_t>(a) * 0x632BE59BD9B4E019ull) ^
                           (static_cast<std::uint64_t>(b) * 0x8CB92BA72F3D8DD7ull)) - 1;
    };
    const double top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * tx;
    const double bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * tx;
    return top + (bottom - top) * ty;
}

// ---------------------------------------------------------------------------------------------
// Description records, written word by word.

class RecordWriter {
public:
    void word(unsigned n, std::uint16_t value) {
        bytes_[2 * n] = static_cast<std::uint8_t>(value & 0xFF);
        bytes_[2 * n + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    // One character per word, in the low byte; `fill` after the text's end.
    void text(unsigned firstWord, unsigned length, std::string_view s, char fill) {
        for (unsigned j = 0; j < length; ++j)
            word(firstWord + j, static_cast<std::uint8_t>(j < s.size() ? s[j] : fill));
    }
    const std::array<std::uint8_t, kSector>& bytes() const { return bytes_; }

private:
    std::array<std::uint8_t, kSector> bytes_{};
};

struct Point {
    double x = 0, z = 0; // mm: across from line 0, and depth below the skin
};

struct Measurement {
    Point a, b;
};

struct Header {
    bool occupied = true;
    std::uint16_t range = 4, gain1 = 60, gain2 = 40, focus = 40, frequency = 1;
    std::uint16_t year = 25, month = 1, day = 1, hour = 12, minute = 0, second = 0;
    std::uint16_t zoom = 100, swap = 0, mode = 0;
    std::string_view description;  // padded with spaces to 30
    std::string_view rfid;         // empty: 12 zero bytes
    std::array<std::optional<Measurement>, 4> measurements{};
};

constexpr std::array<int, 10> kRangeMm{250, 200, 150, 120, 100, 80, 70, 60, 50, 40};
constexpr std::array<int, 10> kRangeOffset{15, 15, 19, 26, 32, 38, 48, 42, 44, 47};

int rangeMm(unsigned code) { return code < kRangeMm.size() ? kRangeMm[code] : 100; }
int rangeOffset(unsigned code) { return code < kRangeOffset.size() ? kRangeOffset[code] : 32; }

// Millimetres per scanner unit of an image.
double imageScale(const Header& h) { return static_cast<double>((rangeMm(h.range) * 100) / h.zoom) / 256.0; }

std::uint16_t unitsOf(double v) { return static_cast<std::uint16_t>(std::clamp(std::floor(v + 0.5), 1.0, 65535.0)); }

std::array<std::uint8_t, kSector> encode(const Header& h) {
    RecordWriter r;
    r.word(0, h.occupied ? kSlotMarker : 0);
    r.word(1, h.range);
    r.word(2, h.gain1);
    r.word(3, h.gain2);
    r.word(4, h.focus);
    r.word(9, h.frequency);
    r.word(11, h.year);
    r.word(12, h.month);
    r.word(13, h.day);
    r.word(14, h.hour);
    r.word(15, h.minute);
    r.word(16, h.second);
    r.word(17, h.zoom);
    r.word(18, h.swap);
    r.text(24, 30, h.description, ' ');
    r.word(55, h.mode);
    r.text(64, 12, h.rfid, '\0');
    // Measurement k: x1, y1, x2, y2 at words 254, 253, 252, 251 counted down by 4k.
    const double s = imageScale(h);
    for (unsigned k = 0; k < 4; ++k) {
        if (!h.measurements[k]) continue;
        const Measurement& m = *h.measurements[k];
        r.word(254 - 4 * k, unitsOf(m.a.x / s));
        r.word(253 - 4 * k, unitsOf(48 + m.a.z / s));
        r.word(252 - 4 * k, unitsOf(m.b.x / s));
        r.word(251 - 4 * k, unitsOf(48 + m.b.z / s));
    }
    return r.bytes();
}

// ---------------------------------------------------------------------------------------------
// Scenes: tissue layers under curved interfaces, and round things in them.

struct Tissue {
    double echo = 1;        // mean backscatter, liver = 1
    double attenuation = 1; // relative to soft tissue
    double striation = 0;   // strength of bands along the layer (muscle fibres)
    double pitch = 1.5;     // mm between those bands
    double texture = 0.15;  // low-frequency unevenness of the echo
};

struct Interface {
    double depth = 10;                              // mm at x = 0
    double tilt = 0;                                // mm of depth per mm across
    double amplitude = 0, wavelength = 50, phase = 0; // undulation
    double bow = 0, bowCentre = 0;                  // + bow * (x - bowCentre)^2
    double brightness = 3, thickness = 0.5;         // the specular line
    double roughness = 0.35;                        // mm of uneven waviness
    Tissue below;

    double at(double x) const {
        const double d = x - bowCentre;
        return depth + tilt * x + amplitude * sine(2 * kPi * x / wavelength + phase) + bow * d * d;
    }
};

enum class BlobKind { Cyst, Vessel, Organ, Stone };

struct Blob {
    BlobKind kind = BlobKind::Cyst;
    double x = 0, z = 0, rx = 1, rz = 1, angle = 0; // centre and half axes in mm, angle in degrees
    double level = 1;       // Organ: echo; Stone: brightness
    double wall = 4;        // Cyst, Vessel: brightness of the walls; Organ: of the capsule
    double attenuation = 0; // Organ, Stone: of the inside (0: Organ keeps the layer's)
    double texture = 0.2;   // Organ
};

struct Scene {
    std::uint64_t seed = 1;
    Tissue top;                  // from the skin down to the first interface
    std::vector<Interface> interfaces;
    std::vector<Blob> blobs;     // later ones cover earlier ones
    double frequencyMHz = 5;
    double focus = 40;           // mm
    double gainDb = 0;           // overall brightness
    double grain = 1;            // speckle size: > 1 coarser
};

// Where the lines and rows of a picture lie, rows counted from the top.
struct Geometry {
    unsigned lines = 512, rows = 256;
    double lineMm = 0.2;      // across, per line
    double topMm = 0;         // depth of row 0
    double rowMm = 0.2;       // depth per row
};

Geometry imageGeometry(const Header& h) {
    const double s = imageScale(h);
    return Geometry{512, 256, s / 2, s * (rangeOffset(h.range) - 48), s};
}

Geometry cineGeometry(unsigned rangeCode, unsigned fieldOfView, unsigned extraRows = 0) {
    // Only the 384 lines that a cine frame shows are made; the rest of each frame stays black.
    const double rowMm = rangeMm(rangeCode) / 256.0;
    return Geometry{384, 256 + 2 * extraRows, fieldOfView / 384.0, -rowMm * extraRows, rowMm};
}

constexpr double kDynamicRangeDb = 60;
constexpr double kGreyPerDb = 255.0 / kDynamicRangeDb;

// A rendered picture: grey values and the speckle's share of them, line by line, rows top down.
struct Rendered {
    Geometry g;
    std::vector<std::uint8_t> grey;   // [line * rows + row]
    std::vector<float> speckleGrey;   // what the speckle adds, in grey levels
};

// Two passes of a box filter of half width `half` along the lines of one row (a triangle); the
// row's values are `stride` apart. The edges repeat the outermost value.
void smoothAcross(double* row, std::size_t L, std::size_t stride, int half, std::vector<double>& pad) {
    const auto h = static_cast<std::size_t>(half);
    pad.resize(L + 2 * h + 1);
    const double scale = 1.0 / static_cast<double>(2 * h + 1);
    for (int pass = 0; pass < 2; ++pass) {
        double* p = pad.data();
        for (std::size_t j = 0; j < h; ++j) p[j] = row[0];
        for (std::size_t l = 0; l < L; ++l) p[h + l] = row[l * stride];
        for (std::size_t j = 0; j <= h; ++j) p[h + L + j] = row[(L - 1) * stride];
        double sum = 0;
        for (std::size_t j = 0; j < 2 * h + 1; ++j) sum += p[j];
        for (std::size_t l = 0; l < L; ++l) {
            row[l * stride] = sum * scale;
            sum += p[l + 2 * h + 1] - p[l];
        }
    }
}

Rendered render(const Scene& scene, const Geometry& g) {
    const std::size_t L = g.lines, H = g.rows, n = L * H;
    Rendered out{g, std::vector<std::uint8_t>(n), std::vector<float>(n)};

    // Speckle: the envelope of a complex Gaussian field smoothed to the resolution cell, wide
    // across and short along the beam, widest far from the focus.
    std::vector<double> re(n), im(n), tmp;
    for (std::size_t l = 0; l < L; ++l)
        for (std::size_t k = 0; k < H; ++k) {
            re[l * H + k] = gaussian(key(scene.seed, l, k, 1));
            im[l * H + k] = gaussian(key(scene.seed, l, k, 2));
        }
    const double span = g.rowMm * static_cast<double>(H);
    for (std::size_t k = 0; k < H; ++k) {
        const double z = g.topMm + g.rowMm * static_cast<double>(k);
        const double off = std::min(1.0, std::abs(z - scene.focus) / (0.45 * span));
        const int half = std::max(1, static_cast<int>(std::floor((2.0 + 2.5 * off) * scene.grain + 0.5)));
        smoothAcross(&re[k], L, H, half, tmp);
        smoothAcross(&im[k], L, H, half, tmp);
    }
    std::vector<double> speckle(n);
    for (std::size_t k = 0; k < H; ++k) {
        const std::size_t up = k == 0 ? 0 : k - 1, down = k + 1 == H ? k : k + 1;
        double sum = 0;
        for (std::size_t l = 0; l < L; ++l) {
            const double* a = &re[l * H];
            const double* b = &im[l * H];
            const double x = a[up] + 2 * a[k] + a[down], y = b[up] + 2 * b[k] + b[down];
            const double r = std::sqrt(x * x + y * y);
            speckle[l * H + k] = r;
            sum += r;
        }
        const double mean = sum / static_cast<double>(L);
        for (std::size_t l = 0; l < L; ++l) speckle[l * H + k] = speckle[l * H + k] / mean + 1e-3;
    }

    // Blob frames: cos and sin of the angle, the wall thickness as a share of the radius, and how
    // far from its centre a blob can matter.
    struct Frame {
        double cos, sin, wall, reach;
    };
    std::vector<Frame> frames;
    for (const Blob& b : scene.blobs)
        frames.push_back({cosine(b.angle * kPi / 180), sine(b.angle * kPi / 180),
                          std::max(0.04, std::max(0.9, 1.6 * g.rowMm) / std::sqrt(b.rx * b.rz)),
                          1.5 * std::max(b.rx, b.rz)});
    std::vector<std::size_t> nearby; // the blobs that can matter on the current line

    const double alpha = 0.008 * scene.frequencyMHz; // nepers per mm, both ways, in soft tissue
    const double lineThickness = std::max(0.5, 1.8 * g.rowMm);
    std::vector<double> reflect(n), loss(n);
    std::vector<double> depthOf(scene.interfaces.size()), shine(scene.interfaces.size());
    for (std::size_t l = 0; l < L; ++l) {
        const double x = g.lineMm * static_cast<double>(l);
        for (std::size_t i = 0; i < scene.interfaces.size(); ++i) {
            depthOf[i] = scene.interfaces[i].at(x) +
                         scene.interfaces[i].roughness * valueNoise(scene.seed + 47 + i, x / 6, 0.5);
            // A specular line is not even: it shines where the beam meets it squarely.
            shine[i] = 0.75 + 0.45 * valueNoise(scene.seed + 31 + i, x / 5, 0.5);
        }
        nearby.clear();
        for (std::size_t bi = 0; bi < scene.blobs.size(); ++bi)
            if (std::abs(x - scene.blobs[bi].x) < frames[bi].reach) nearby.push_back(bi);
        for (std::size_t k = 0; k < H; ++k) {
            const double z = g.topMm + g.rowMm * static_cast<double>(k);
            double echo = 0.004, att = 0, bright = 0, texture = 0;
            if (z >= 0) {
                const Tissue* t = &scene.top;
                for (std::size_t i = 0; i < scene.interfaces.size(); ++i) {
                    const Interface& f = scene.interfaces[i];
                    if (z > depthOf[i]) t = &f.below;
                    bright += f.brightness * shine[i] * bump((z - depthOf[i]) / std::max(f.thickness, lineThickness));
                }
                echo = t->echo;
                att = t->attenuation;
                texture = t->texture;
                if (t->striation > 0) {
                    const double band =
                        sine(2 * kPi * (z - 0.06 * x) / t->pitch + 0.8 * valueNoise(scene.seed + 5, x / 7, z / 5));
                    echo *= 1 - t->striation + t->striation * 2 * band * band;
                }
                // The skin line and the transducer's ring-down, with two faint reverberations.
                bright += 3 * bump(z / std::max(1.8, 3 * g.rowMm)) + 0.7 * bump((z - 3.2) / lineThickness) +
                          0.35 * bump((z - 6.4) / lineThickness);
            }
            for (const std::size_t bi : nearby) {
                const Blob& b = scene.blobs[bi];
                const Frame& fr = frames[bi];
                const double dx = x - b.x, dz = z - b.z;
                if (dz > fr.reach || dz < -fr.reach) continue;
                const double u = (dx * fr.cos + dz * fr.sin) / b.rx;
                const double v = (-dx * fr.sin + dz * fr.cos) / b.rz;
                const double r2 = u * u + v * v;
                if (r2 > 2.2) continue;
                const double r = std::sqrt(r2);
                const double ring = bump((r - 1) / fr.wall);
                const double vz = std::clamp(dz / b.rz, -1.0, 1.0); // up (-1) to down (+1) whatever the angle
                switch (b.kind) {
                case BlobKind::Cyst: {
                    const double inside = 1 - smoothstep(0.97, 1.01, r);
                    if (inside > 0) {
                        echo = echo + (0.005 - echo) * inside;
                        att = att + (0.05 - att) * inside;
                        bright *= 1 - 0.85 * inside;
                        texture *= 1 - inside;
                    }
                    bright += b.wall * ring * (vz > 0 ? 0.3 + 0.7 * vz : 0.25);
                    att += 2 * ring * (1 - vz * vz); // refraction where the beam grazes the wall
                    break;
                }
                case BlobKind::Vessel: {
                    const double inside = 1 - smoothstep(0.96, 1.01, r);
                    if (inside > 0) {
                        echo = echo + (0.01 - echo) * inside;
                        att = att + (0.08 - att) * inside;
                        bright *= 1 - 0.9 * inside;
                        texture *= 1 - inside;
                    }
                    bright += b.wall * ring * (0.2 + 0.8 * vz * vz);
                    att += 1.2 * ring * (1 - vz * vz);
                    break;
                }
                case BlobKind::Organ: {
                    const double w = 1 - smoothstep(0.9, 1.05, r);
                    if (w > 0) {
                        echo = echo + (b.level - echo) * w;
                        if (b.attenuation > 0) att = att + (b.attenuation - att) * w;
                        texture = texture + (b.texture - texture) * w;
                    }
                    bright += b.wall * ring * (0.35 + 0.65 * vz * vz);
                    break;
                }
                case BlobKind::Stone:
                    if (r < 1) {
                        // A bright leading surface; what lies behind it gets little sound.
                        bright += b.level * (1 - smoothstep(-0.5, 0.4, v)) * (0.6 + 0.4 * (1 - r2));
                        att = std::max(att, b.attenuation * smoothstep(-0.5, 0.3, v));
                    }
                    break;
                }
            }
            if (texture > 0) echo *= 1 + texture * valueNoise(scene.seed + 11, x / 4.5, z / 3.5);
            const std::size_t i = l * H + k;
            const double sp = 0.25 + 0.75 * speckle[i];
            reflect[i] = echo * sp + bright * (0.35 + 0.65 * sp);
            loss[i] = z >= 0 ? std::max(0.05, 1 - alpha * att * g.rowMm) : 1;
            out.speckleGrey[i] = static_cast<float>(8.685889638065036 * logn(sp) * kGreyPerDb);
        }
    }

    // Sound that reaches each point: the losses above it along its line, spread across by the
    // width of the beam, so that shadows and enhancement have soft edges.
    std::vector<double> transmitted(n);
    for (std::size_t l = 0; l < L; ++l) {
        double t = 1;
        for (std::size_t k = 0; k < H; ++k) {
            transmitted[l * H + k] = t;
            t *= loss[l * H + k];
        }
    }
    const int beam = std::max(1, static_cast<int>(std::floor(2.5 * scene.grain + 0.5)));
    for (std::size_t k = 0; k < H; ++k) smoothAcross(&transmitted[k], L, H, beam, tmp);

    // Time gain compensation makes up for the soft tissue's loss but for about 16 dB over the
    // picture's depth; the focal zone is a little brighter; the receiver's noise grows with the gain.
    std::vector<double> gain(H), noiseLevel(H);
    for (std::size_t k = 0; k < H; ++k) {
        const double z = g.topMm + g.rowMm * static_cast<double>(k);
        const double zz = std::max(z, 0.0);
        const double tgc = expNeg(1.9 * zz / span) / expNeg(alpha * zz);
        gain[k] = tgc * (1 + 0.25 * bump((z - scene.focus) / (0.22 * span)));
        noiseLevel[k] = 0.045 * (0.4 + 0.6 * std::sqrt(tgc));
    }
    for (std::size_t l = 0; l < L; ++l)
        for (std::size_t k = 0; k < H; ++k) {
            const std::size_t i = l * H + k;
            const double noise = noiseLevel[k] * std::abs(gaussian(key(scene.seed, l, k, 3)));
            const double amp = gain[k] * transmitted[i] * reflect[i] + noise;
            const double grey = 118 + (8.685889638065036 * logn(amp) + scene.gainDb) * kGreyPerDb;
            out.grey[i] = static_cast<std::uint8_t>(std::clamp(std::floor(grey + 0.5), 0.0, 255.0));
        }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The images.

struct ImageSlot {
    Header header;
    Scene scene;
};

Tissue fat(double echo = 0.42) { return Tissue{echo, 0.7, 0, 1.5, 0.25}; }
Tissue muscle(double echo = 0.55, double pitch = 1.6) { return Tissue{echo, 1.3, 0.55, pitch, 0.15}; }
Tissue parenchyma(double echo = 1.0, double texture = 0.2) { return Tissue{echo, 1.0, 0, 1.5, texture}; }
Tissue lumen() { return Tissue{0.008, 0.06, 0, 1.5, 0}; }

Interface layer(double depth, double brightness, Tissue below, double amplitude = 0, double wavelength = 50,
                double phase = 0, double tilt = 0) {
    Interface f;
    f.depth = depth;
    f.brightness = brightness;
    f.below = below;
    f.amplitude = amplitude;
    f.wavelength = wavelength;
    f.phase = phase;
    f.tilt = tilt;
    return f;
}

Blob blob(BlobKind kind, double x, double z, double rx, double rz, double level = 1, double wall = 4) {
    Blob b;
    b.kind = kind;
    b.x = x;
    b.z = z;
    b.rx = rx;
    b.rz = rz;
    b.level = level;
    b.wall = wall;
    return b;
}

Measurement across(const Blob& b) { return {{b.x - b.rx, b.z}, {b.x + b.rx, b.z}}; }
Measurement down(const Blob& b) { return {{b.x, b.z - b.rz}, {b.x, b.z + b.rz}}; }

std::optional<ImageSlot> imageSlot(unsigned slot) {
    ImageSlot s;
    Header& h = s.header;
    Scene& c = s.scene;
    c.seed = 0x4B454C564F000000ull + slot;
    switch (slot) {
    case 0: { // liver, abdominal probe: a simple cyst with posterior enhancement
        h = Header{true, 3, 62, 38, 60, 0, 25, 11, 3, 9, 14, 27, 100, 0, 1, "Liver left lobe", "E20000171987", {}};
        c.frequencyMHz = 4;
        c.focus = 60;
        c.top = fat();
        c.interfaces = {layer(10.5, 3, muscle(), 1.2, 70, 0.5),
                        layer(21, 5, parenchyma(), 1.8, 90, 2.0, 0.02)};
        Interface diaphragm = layer(86, 9, Tissue{0.45, 1.4, 0, 1.5, 0.3});
        diaphragm.bow = 0.0045;
        diaphragm.bowCentre = 60;
        diaphragm.thickness = 1.3;
        c.interfaces.push_back(diaphragm);
        const Blob cyst = blob(BlobKind::Cyst, 68, 52, 9.5, 8.5, 1, 5);
        Blob portal = blob(BlobKind::Vessel, 40, 38, 3.8, 2.3, 1, 6);
        portal.angle = 20;
        c.blobs = {blob(BlobKind::Vessel, 26, 62, 4.2, 3.4, 1, 0.6), portal, cyst};
        h.measurements = {across(cyst), down(cyst), std::nullopt, std::nullopt};
        break;
    }
    case 1: { // thyroid, small-parts probe: a cystic nodule, the carotid beside the lobe
        h = Header{true, 9, 55, 35, 15, 6, 25, 11, 21, 14, 2, 9, 100, 0, 1, "Thyroid R", "", {}};
        c.frequencyMHz = 12;
        c.focus = 14;
        c.gainDb = -1;
        c.top = fat(0.5);
        c.interfaces = {layer(2.6, 2.5, muscle(0.5, 0.8), 0.3, 30, 1.0),
                        layer(6.2, 2, muscle(0.6, 0.9), 0.4, 25, 2.5),
                        layer(25.5, 4, muscle(0.5, 1.0), 0.8, 40, 0.3, 0.03)};
        Blob lobe = blob(BlobKind::Organ, 19, 14, 14, 7.5, 1.35, 1.5);
        lobe.angle = -5;
        lobe.texture = 0.12;
        const Blob nodule = blob(BlobKind::Cyst, 16, 13.5, 3.3, 2.7, 1, 4);
        Blob trachea = blob(BlobKind::Stone, 0.5, 10, 5.5, 2.2, 6);
        trachea.attenuation = 5;
        c.blobs = {lobe, nodule, blob(BlobKind::Vessel, 35, 15.5, 3.5, 3.3, 1, 5), trachea};
        h.measurements = {across(nodule), std::nullopt, std::nullopt, std::nullopt};
        break;
    }
    case 2: // deleted: the marker is gone, the old record's words stay
        h = Header{false, 4, 60, 40, 50, 1, 25, 10, 30, 16, 45, 0, 100, 0, 0, "Spleen", "", {}};
        c.frequencyMHz = 5;
        break;
    case 3: { // kidney, left and right swapped, no description: cyst at the upper pole, a stone
        h = Header{true, 2, 66, 42, 55, 1, 25, 12, 14, 11, 5, 52, 150, 1, 1, "", "", {}};
        c.frequencyMHz = 5;
        c.focus = 55;
        c.top = fat();
        c.interfaces = {layer(8.5, 3, muscle(0.55, 1.8), 1.0, 60, 1.0),
                        layer(19, 5, parenchyma(0.95), 1.5, 80, 0.2)};
        Blob kidney = blob(BlobKind::Organ, 47, 52, 30, 15, 0.55, 6);
        kidney.angle = 12;
        kidney.texture = 0.1;
        Blob sinus = blob(BlobKind::Organ, 48, 52, 17, 6, 2.8, 0);
        sinus.angle = 12;
        sinus.texture = 0.55;
        c.blobs = {kidney};
        for (double t : {-1.0, -0.35, 0.35, 1.0}) { // medullary pyramids around the sinus
            const double cx = 48 + 16 * t * 0.978, cz = 52 + 16 * t * 0.208;
            c.blobs.push_back(blob(BlobKind::Organ, cx, cz - 8.5, 4, 3, 0.22, 0));
            c.blobs.push_back(blob(BlobKind::Organ, cx + 2, cz + 8.5, 4, 3, 0.22, 0));
        }
        c.blobs.push_back(sinus);
        const Blob cyst = blob(BlobKind::Cyst, 24, 46, 5, 4.6, 1, 4);
        Blob stone = blob(BlobKind::Stone, 55, 53.5, 2.4, 2.0, 22);
        stone.attenuation = 60;
        c.blobs.push_back(cyst);
        c.blobs.push_back(stone);
        const double ax = 30 * 0.97815, az = 30 * 0.20791; // half the kidney along its axis
        h.measurements = {Measurement{{47 - ax, 52 - az}, {47 + ax, 52 + az}}, across(cyst), across(stone), std::nullopt};
        break;
    }
    case 4: { // carotid, longitudinal: a calcified plaque on the far wall
        h = Header{true, 8, 58, 36, 20, 4, 26, 1, 8, 8, 41, 3, 100, 0, 0, "Carotid L", "", {}};
        c.frequencyMHz = 9;
        c.focus = 20;
        c.top = fat(0.45);
        Interface nearWall = layer(14, 6, lumen(), 0.6, 70, 0.0, 0.03);
        nearWall.thickness = 0.35;
        Interface farWall = layer(21.5, 7, Tissue{0.7, 1.0, 0.2, 1.2, 0.2}, 0.6, 70, 0.0, 0.03);
        farWall.thickness = 0.4;
        c.interfaces = {layer(3.2, 2.5, muscle(0.55, 1.2), 0.6, 45, 0.8), layer(11, 2, Tissue{0.7, 1.0, 0, 1, 0.2}, 0.5, 35),
                        nearWall, farWall, layer(33, 5, muscle(0.5, 1.3), 1.0, 50, 1.7)};
        Blob plaque = blob(BlobKind::Stone, 30, farWall.at(30) - 0.6, 4, 1.2, 14);
        plaque.attenuation = 25;
        c.blobs = {plaque};
        break;
    }
    case 5: { // pig backfat at P2: three fat layers, the loin muscle, ribs at the bottom
        h = Header{true, 7, 64, 40, 25, 3, 26, 2, 17, 7, 22, 48, 100, 0, 1, "Sow 112 backfat P2", "E20000172211", {}};
        c.frequencyMHz = 7.5;
        c.focus = 25;
        c.top = fat(0.32);
        const Interface f1 = layer(6.5, 4, fat(0.36), 0.4, 45, 0.4, 0.01);
        const Interface f2 = layer(13, 4.5, fat(0.3), 0.6, 55, 1.9, 0.015);
        const Interface loin = layer(18.5, 6, muscle(0.75, 1.9), 0.8, 60, 3.1, 0.02);
        Interface deep = layer(41, 7, Tissue{0.4, 1.2, 0, 1.5, 0.3}, 1.5, 80, 0.7);
        deep.thickness = 0.8;
        c.interfaces = {f1, f2, loin, deep};
        Blob rib1 = blob(BlobKind::Stone, 12, 45, 5, 1.4, 24);
        rib1.attenuation = 60;
        Blob rib2 = rib1;
        rib2.x = 45;
        rib2.z = 45.6;
        c.blobs = {rib1, rib2};
        h.measurements = {Measurement{{20, 0}, {20, f1.at(20)}}, Measurement{{23, 0}, {23, loin.at(23)}},
                          Measurement{{30, loin.at(30)}, {30, deep.at(30)}}, Measurement{{40, 0}, {40, loin.at(40)}}};
        break;
    }
    case 6: { // sow, pregnancy: embryonic vesicles, no description
        h = Header{true, 0, 70, 45, 100, 0, 26, 3, 2, 15, 33, 10, 100, 0, 0, "", "E20000172254", {}};
        c.frequencyMHz = 4;
        c.focus = 100;
        c.gainDb = 1;
        c.top = fat(0.45);
        c.interfaces = {layer(8, 3, muscle(0.5, 2.5), 1.5, 90, 0.2),
                        layer(24, 4, Tissue{0.75, 1.0, 0, 1.5, 0.4}, 3, 120, 1.1)};
        c.blobs = {blob(BlobKind::Organ, 110, 95, 95, 50, 0.95, 2)};
        const std::array<std::array<double, 4>, 5> sacs{{{60, 70, 14, 11}, {122, 92, 16, 12}, {178, 78, 12, 10},
                                                         {96, 145, 13, 10}, {170, 150, 11, 9}}};
        for (const auto& v : sacs) {
            c.blobs.push_back(blob(BlobKind::Cyst, v[0], v[1], v[2], v[3], 1, 4));
            c.blobs.push_back(blob(BlobKind::Organ, v[0] + 2, v[1] + v[3] * 0.55, v[2] * 0.28, v[3] * 0.25, 2.4, 0));
        }
        break;
    }
    case 7: { // bladder: large anechoic, strong enhancement behind it; measurement 1 deleted
        h = Header{true, 4, 60, 40, 45, 2, 26, 3, 19, 16, 8, 55, 120, 0, 1, "Bladder", "", {}};
        c.frequencyMHz = 6;
        c.focus = 45;
        c.gainDb = -1;
        c.top = fat();
        c.interfaces = {layer(7, 3, muscle(0.55, 1.6), 0.8, 60, 0.6), layer(15, 4, parenchyma(0.8, 0.3), 1.2, 70, 2.2)};
        const Blob bladder = blob(BlobKind::Cyst, 39, 36, 27, 17, 1, 6);
        c.blobs = {blob(BlobKind::Organ, 40, 64, 17, 9, 0.9, 3), bladder};
        h.measurements = {across(bladder), std::nullopt, down(bladder), std::nullopt};
        break;
    }
    default: return std::nullopt;
    }
    return s;
}

constexpr unsigned kImageSlots = 8;

std::optional<std::vector<std::uint8_t>> makeImage(unsigned slot) {
    const auto def = imageSlot(slot);
    if (!def || !def->header.occupied) return std::nullopt;
    const Rendered r = render(def->scene, imageGeometry(def->header));
    std::vector<std::uint8_t> raw(kImageBytes);
    for (std::size_t l = 0; l < 512; ++l)
        for (std::size_t k = 0; k < 256; ++k) raw[l * 256 + (255 - k)] = r.grey[l * 256 + k]; // sample 255 on top
    return raw;
}

// ---------------------------------------------------------------------------------------------
// The cines: 256 frames, made from one rendered background per cine and what moves in it.

constexpr unsigned kFrames = 256;
constexpr std::size_t kFrameBytes = 131072;

Header cineHeader(unsigned slot) {
    switch (slot) {
    case 0: return Header{true, 8, 60, 38, 20, 5, 25, 11, 27, 10, 3, 41, 100, 0, 0, "Carotid pulse", "", {}};
    case 2: return Header{true, 5, 64, 42, 45, 1, 26, 2, 5, 13, 27, 18, 100, 1, 0, "Liver breathing", "E20000172254", {}};
    default: { // slot 1 (an all-zero record) and beyond
        Header none;
        none.occupied = false;
        return none;
    }
    }
}
constexpr unsigned kCineSlots = 3;

std::uint8_t toGrey(double v) { return static_cast<std::uint8_t>(std::clamp(std::floor(v + 0.5), 0.0, 255.0)); }

// Artery pulse, 0 at rest to 1 at the systolic peak; `phase` in [0, 1).
double pulse(double phase) {
    if (phase < 0.18) {
        const double t = phase / 0.18;
        return t * t * (3 - 2 * t);
    }
    return expNeg((phase - 0.18) * 4.5);
}

std::vector<std::uint8_t> carotidCine(unsigned fieldOfView) {
    Scene c;
    c.seed = 0x43494E4500000000ull;
    c.frequencyMHz = 10;
    c.focus = 20;
    c.top = fat(0.45);
    c.interfaces = {layer(3, 2.5, muscle(0.55, 1.2), 0.5, 40, 0.4), layer(12, 3, Tissue{0.7, 1.0, 0.15, 1.2, 0.2}, 0.6, 35, 2),
                    layer(34, 5, muscle(0.5, 1.4), 1.0, 45, 1.2)};
    Blob vertebra = blob(BlobKind::Stone, 20, 44, 13, 2, 35);
    vertebra.attenuation = 60;
    c.blobs = {blob(BlobKind::Organ, 1, 14, 8, 6, 1.25, 1.2), blob(BlobKind::Vessel, 30, 13.5, 6, 2.8, 1, 1.5), vertebra};
    const Geometry g = cineGeometry(8, fieldOfView);
    const Rendered bg = render(c, g);

    std::vector<std::uint8_t> raw(kCineBytes);
    for (unsigned f = 0; f < kFrames; ++f)
        for (std::size_t l = 0; l < g.lines; ++l)
            std::memcpy(&raw[f * kFrameBytes + l * 256], &bg.grey[l * g.rows], 256);

    // The common carotid, pulsing at about 72 beats a minute (a beat every 10 frames at 12 frames
    // a second): a dark lumen, bright walls, brighter tissue behind it.
    const double cx = 16, cz = 21, r0 = 3.6;
    std::vector<double> behind(g.rows); // how the enhancement fades with the distance behind the vessel
    for (std::size_t j = 0; j < g.rows; ++j) behind[j] = 22 * expNeg(g.rowMm * static_cast<double>(j) / 12);
    auto rowOf = [&](double z) {
        return static_cast<std::size_t>(std::clamp(std::floor(z / g.rowMm), 0.0, static_cast<double>(g.rows - 1)));
    };
    for (unsigned f = 0; f < kFrames; ++f) {
        const double phase = static_cast<double>(f % 10) / 10 + 0.05;
        const double radius = r0 * (1 + 0.13 * pulse(phase));
        const double reach = 1.2 * radius;
        std::uint8_t* frame = &raw[f * kFrameBytes];
        const auto firstLine = static_cast<std::size_t>((cx - reach) / g.lineMm);
        const auto lastLine = static_cast<std::size_t>((cx + reach) / g.lineMm) + 1;
        const std::size_t top = rowOf(cz - reach), bottom = rowOf(cz + reach) + 1;
        for (std::size_t l = firstLine; l <= lastLine; ++l) {
            const double dx = g.lineMm * static_cast<double>(l) - cx;
            const std::uint8_t* back = &bg.grey[l * g.rows];
            const float* sp = &bg.speckleGrey[l * g.rows];
            std::uint8_t* line = frame + l * 256;
            for (std::size_t k = top; k <= bottom; ++k) {
                const double dz = g.rowMm * static_cast<double>(k) - cz;
                const double r = std::sqrt(dx * dx + dz * dz) / radius;
                if (r < 1) {
                    line[k] = toGrey(6 + 0.35 * sp[k]);
                } else if (r < 1.2) {
                    const double vz = dz / (r * radius);
                    line[k] = toGrey(std::max<double>(back[k], 150 + 55 * vz * vz + sp[k]));
                }
            }
            if (std::abs(dx) < radius) {
                const double w = 1 - std::abs(dx) / radius;
                const std::size_t from = rowOf(cz + std::sqrt(1.44 * radius * radius - dx * dx)) + 1;
                for (std::size_t k = from; k < g.rows; ++k)
                    line[k] = toGrey(back[k] + w * behind[k - from]);
            }
        }
    }
    return raw;
}

std::vector<std::uint8_t> liverCine(unsigned fieldOfView) {
    // The abdominal wall stays; the liver beneath slides with the breath (a breath every 48
    // frames, 4 s), carrying its speckle, a portal vein and the diaphragm with it.
    Scene wall;
    wall.seed = 0x43494E4502000000ull;
    wall.frequencyMHz = 5;
    wall.focus = 45;
    wall.top = fat();
    wall.interfaces = {layer(6, 3, muscle(0.55, 1.7), 0.6, 50, 0.9), layer(14, 6, parenchyma(), 0.4, 60, 0.3)};
    const Geometry g = cineGeometry(5, fieldOfView);
    const Rendered top = render(wall, g);

    constexpr unsigned kShift = 16; // rows, 5 mm
    Scene liver;
    liver.seed = wall.seed + 1;
    liver.frequencyMHz = 5;
    liver.focus = 45;
    liver.top = parenchyma();
    Interface diaphragm = layer(66, 9, Tissue{0.45, 1.4, 0, 1.5, 0.3});
    diaphragm.bow = 0.012;
    diaphragm.bowCentre = 24;
    diaphragm.thickness = 1.2;
    liver.interfaces = {diaphragm};
    Blob portal = blob(BlobKind::Vessel, 22, 40, 4.2, 3.4, 1, 6);
    portal.angle = -10;
    liver.blobs = {portal, blob(BlobKind::Vessel, 7, 55, 3, 2.6, 1, 0.5), blob(BlobKind::Vessel, 34, 27, 1.8, 1.4, 1, 4)};
    const Geometry gd = cineGeometry(5, fieldOfView, kShift);
    const Rendered deep = render(liver, gd);

    const auto seam = static_cast<std::size_t>(14.8 / g.rowMm);
    std::vector<std::uint8_t> raw(kCineBytes);
    for (unsigned f = 0; f < kFrames; ++f) {
        const double breath = sine(2 * kPi * static_cast<double>(f) / 48);
        const auto shift = static_cast<std::int64_t>(std::floor(kShift * breath + 0.5));
        std::uint8_t* frame = &raw[f * kFrameBytes];
        for (std::size_t l = 0; l < g.lines; ++l) {
            std::memcpy(frame + l * 256, &top.grey[l * g.rows], seam);
            const std::size_t from = static_cast<std::size_t>(static_cast<std::int64_t>(seam + kShift) - shift);
            std::memcpy(frame + l * 256 + seam, &deep.grey[l * gd.rows + from], 256 - seam);
            for (std::size_t k = seam - 3; k < seam; ++k) // the peritoneum over the sliding liver
                frame[l * 256 + k] = std::max(frame[l * 256 + k], deep.grey[l * gd.rows + from - seam + k]);
        }
    }
    return raw;
}

std::optional<std::vector<std::uint8_t>> makeCine(unsigned slot, unsigned fieldOfView) {
    if (slot == 0) return carotidCine(fieldOfView);
    if (slot == 2) return liverCine(fieldOfView);
    return std::nullopt;
}

} // namespace

Card syntheticCard() {
    Card card;
    for (unsigned slot = 0; slot < kImageSlots; ++slot) {
        const auto record = encode(imageSlot(slot)->header);
        card.imageCatalogue.insert(card.imageCatalogue.end(), record.begin(), record.end());
    }
    for (unsigned slot = 0; slot < kCineSlots; ++slot) {
        const Header h = cineHeader(slot);
        std::array<std::uint8_t, kSector> record{};
        if (h.occupied) record = encode(h);
        card.cineCatalogue.insert(card.cineCatalogue.end(), record.begin(), record.end());
    }
    card.image = [](unsigned slot) { return makeImage(slot); };
    const unsigned fov = card.identity.field_of_view;
    card.cine = [fov](unsigned slot) { return makeCine(slot, fov); };
    card.cf = [](std::uint64_t offset, std::span<std::uint8_t> out) { patternCf(offset, out); };
    return card;
}

} // namespace kelvo::sim
