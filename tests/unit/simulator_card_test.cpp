// The simulated scanner's cards: the built-in synthetic card, and card folders (load and write).
// The records are read here with the test's own helpers, never with the code under test.
#include "base/Clock.h"
#include "simulator/Card.h"
#include "simulator/Scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>

namespace kelvo::sim {
namespace {

namespace fs = std::filesystem;

// ---- reading records ----

unsigned word(const std::vector<std::uint8_t>& catalogue, std::size_t record, unsigned n) {
    const std::size_t at = record * kSector + 2 * n;
    return catalogue[at] | (catalogue[at + 1] << 8);
}

std::string chars(const std::vector<std::uint8_t>& catalogue, std::size_t record, unsigned first, unsigned count) {
    std::string s;
    for (unsigned j = 0; j < count; ++j) s += static_cast<char>(catalogue[record * kSector + 2 * (first + j)]);
    return s;
}

std::size_t records(const std::vector<std::uint8_t>& catalogue) { return catalogue.size() / kSector; }
bool occupied(const std::vector<std::uint8_t>& catalogue, std::size_t record) {
    return word(catalogue, record, 0) == kSlotMarker;
}

constexpr std::array<unsigned, 10> kRangeMm{250, 200, 150, 120, 100, 80, 70, 60, 50, 40};
constexpr std::array<unsigned, 10> kOffset{15, 15, 19, 26, 32, 38, 48, 42, 44, 47};

struct Measure {
    unsigned x1, y1, x2, y2;
};
std::array<std::optional<Measure>, 4> measurements(const std::vector<std::uint8_t>& c, std::size_t r) {
    std::array<std::optional<Measure>, 4> m;
    for (unsigned k = 0; k < 4; ++k) {
        const Measure v{word(c, r, 254 - 4 * k), word(c, r, 253 - 4 * k), word(c, r, 252 - 4 * k), word(c, r, 251 - 4 * k)};
        if (v.x1 && v.y1 && v.x2 && v.y2) m[k] = v;
    }
    return m;
}

// The raw sample under scanner point (x, y) of an image: line 2x, sample 255 - (y - o).
std::uint8_t sampleAt(const std::vector<std::uint8_t>& raw, unsigned offset, double x, double y) {
    const auto line = static_cast<std::size_t>(2 * x);
    const auto sample = static_cast<std::size_t>(255 - (y - offset));
    return raw[line * 256 + sample];
}

std::uint64_t fnv(std::span<const std::uint8_t> bytes, std::uint64_t h = 1469598103934665603ull) {
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

double mean(const std::vector<std::uint8_t>& v, std::size_t from, std::size_t to) {
    return std::accumulate(v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(to), 0.0) /
           static_cast<double>(to - from);
}

// ---- folders ----

class TempFolder {
public:
    TempFolder() {
        static std::atomic<unsigned> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? info->name() : "x";
        std::replace(name.begin(), name.end(), '/', '_'); // parameterised tests: Case/param
        path_ = fs::temp_directory_path() /
                ("kelvo-card-" + name + "-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000) + "-" +
                 std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void write(const std::string& name, const std::string& text) const {
        write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
    }

private:
    fs::path path_;
};

// A catalogue of `n` records in which the listed slots are occupied.
std::vector<std::uint8_t> catalogueWith(std::size_t n, std::initializer_list<std::size_t> slots) {
    std::vector<std::uint8_t> c(n * kSector, 0);
    for (std::size_t s : slots) {
        c[s * kSector] = kSlotMarker & 0xFF;
        c[s * kSector + 1] = kSlotMarker >> 8;
        c[s * kSector + 2] = 4; // range 100 mm
        c[s * kSector + 34] = 100; // zoom
    }
    return c;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CardError& e) {
        return e.what();
    }
    return "(no CardError)";
}

// ============================== the synthetic card ==============================

// The synthetic card's pictures, made once for all the tests that only look at them.
struct Pictures {
    Card card = syntheticCard();
    std::vector<std::optional<std::vector<std::uint8_t>>> images, cines;
    Pictures() {
        for (unsigned slot = 0; slot < 10; ++slot) images.push_back(card.image(slot));
        for (unsigned slot = 0; slot < 4; ++slot) cines.push_back(card.cine(slot));
    }
};
const Pictures& pictures() {
    static const Pictures p;
    return p;
}

TEST(SyntheticCard, IsTheSameOnEveryBuild) {
    const Pictures& a = pictures();
    const Card b = syntheticCard();
    EXPECT_EQ(a.card.imageCatalogue, b.imageCatalogue);
    EXPECT_EQ(a.card.cineCatalogue, b.cineCatalogue);
    for (unsigned slot = 0; slot < a.images.size(); ++slot) EXPECT_EQ(a.images[slot], b.image(slot)) << slot;
    EXPECT_EQ(a.cines[0], b.cine(0));
}

// Pinned, so that the Linux and the Windows builds (whose tests run under wine) are held to the
// same bytes. When the synthetic card is changed on purpose, put the new values here.
TEST(SyntheticCard, GivesTheSameBytesOnEveryPlatform) {
    const Pictures& p = pictures();
    EXPECT_EQ(fnv(p.card.imageCatalogue), 0xcb454a7c11b08458ull);
    EXPECT_EQ(fnv(p.card.cineCatalogue), 0x459bbc6ddff1b0ffull);
    EXPECT_EQ(fnv(*p.images[0]), 0x02f70842576fa9d5ull);
    EXPECT_EQ(fnv(*p.images[3]), 0x52cebe9fa9aba014ull);
    EXPECT_EQ(fnv(*p.cines[2]), 0xdc6922738e90a60cull);
}

TEST(SyntheticCard, HasAnEmptySlotBetweenOccupiedOnes) {
    const Card card = syntheticCard();
    for (const auto* catalogue : {&card.imageCatalogue, &card.cineCatalogue}) {
        const std::size_t n = records(*catalogue);
        ASSERT_GE(n, 3u);
        bool gap = false;
        for (std::size_t i = 1; i + 1 < n; ++i)
            if (!occupied(*catalogue, i)) {
                bool before = false, after = false;
                for (std::size_t j = 0; j < i; ++j) before = before || occupied(*catalogue, j);
                for (std::size_t j = i + 1; j < n; ++j) after = after || occupied(*catalogue, j);
                gap = gap || (before && after);
            }
        EXPECT_TRUE(gap);
    }
    EXPECT_EQ(records(card.imageCatalogue), 8u);
    EXPECT_EQ(records(card.cineCatalogue), 3u);
    EXPECT_EQ(card.imageCount(), 8u);
    EXPECT_EQ(card.cineCount(), 3u);
}

TEST(SyntheticCard, GivesPicturesForOccupiedSlotsOnly) {
    const Card& card = pictures().card;
    for (std::size_t slot = 0; slot < records(card.imageCatalogue); ++slot) {
        const auto& raw = pictures().images[slot];
        EXPECT_EQ(raw.has_value(), occupied(card.imageCatalogue, slot)) << slot;
        if (raw) {
            EXPECT_EQ(raw->size(), kImageBytes);
        }
    }
    EXPECT_FALSE(pictures().images[8]);
    EXPECT_FALSE(card.image(65535));
    EXPECT_FALSE(pictures().cines[1]);
    EXPECT_FALSE(pictures().cines[3]);
    const auto& cine = pictures().cines[0];
    ASSERT_TRUE(cine);
    EXPECT_EQ(cine->size(), kCineBytes);
}

TEST(SyntheticCard, RecordsCarryTheMarkerAndFieldsInRange) {
    const Card card = syntheticCard();
    unsigned withNone = 0, withFour = 0, swapped = 0, blank = 0, zoomed = 0, rfids = 0, occupiedCount = 0;
    for (const auto* catalogue : {&card.imageCatalogue, &card.cineCatalogue}) {
        const auto& c = *catalogue;
        for (std::size_t r = 0; r < records(c); ++r) {
            if (!occupied(c, r)) continue;
            ++occupiedCount;
            SCOPED_TRACE("record " + std::to_string(r));
            EXPECT_EQ(word(c, r, 0), 31415u);
            const unsigned range = word(c, r, 1);
            ASSERT_LE(range, 9u);
            EXPECT_GT(word(c, r, 4), 0u);
            EXPECT_LE(word(c, r, 4), kRangeMm[range]);        // focus within the range
            EXPECT_LE(word(c, r, 9), 7u);                     // frequency code
            EXPECT_TRUE(word(c, r, 11) == 25 || word(c, r, 11) == 26);
            EXPECT_GE(word(c, r, 12), 1u);
            EXPECT_LE(word(c, r, 12), 12u);
            EXPECT_GE(word(c, r, 13), 1u);
            EXPECT_LE(word(c, r, 13), 31u);
            EXPECT_LE(word(c, r, 14), 23u);
            EXPECT_LE(word(c, r, 15), 59u);
            EXPECT_LE(word(c, r, 16), 59u);
            const unsigned zoom = word(c, r, 17);
            EXPECT_GE(zoom, 100u);
            EXPECT_LE(zoom, 300u);
            zoomed += zoom != 100;
            swapped += word(c, r, 18) != 0;
            for (unsigned j = 0; j < 30; ++j) {
                EXPECT_EQ(c[r * kSector + 2 * (24 + j) + 1], 0u); // high bytes stay 0
                const unsigned ch = c[r * kSector + 2 * (24 + j)];
                EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << ch;
            }
            blank += chars(c, r, 24, 30) == std::string(30, ' ');
            const std::string rfid = chars(c, r, 64, 12);
            if (rfid != std::string(12, '\0')) {
                ++rfids;
                EXPECT_EQ(rfid.size(), 12u);
                EXPECT_TRUE(std::all_of(rfid.begin(), rfid.end(), [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)); })) << rfid;
            }
            // A measurement has all four coordinates or none, and lies on the shown picture.
            unsigned present = 0;
            for (unsigned k = 0; k < 4; ++k) {
                const unsigned v[4] = {word(c, r, 254 - 4 * k), word(c, r, 253 - 4 * k), word(c, r, 252 - 4 * k),
                                       word(c, r, 251 - 4 * k)};
                const bool all = v[0] && v[1] && v[2] && v[3], none = !v[0] && !v[1] && !v[2] && !v[3];
                EXPECT_TRUE(all || none) << "measurement " << k;
                if (!all) continue;
                ++present;
                for (unsigned p = 0; p < 4; p += 2) {
                    EXPECT_LE(v[p], 239u);
                    EXPECT_GE(v[p + 1], kOffset[range] + 2);
                    EXPECT_LE(v[p + 1], kOffset[range] + 255);
                }
            }
            if (catalogue == &card.imageCatalogue) {
                withNone += present == 0;
                withFour += present == 4;
            }
        }
    }
    EXPECT_EQ(occupiedCount, 9u);
    EXPECT_GE(withNone, 1u);
    EXPECT_GE(withFour, 1u);
    EXPECT_GE(swapped, 1u);
    EXPECT_GE(blank, 1u);
    EXPECT_GE(zoomed, 1u);
    EXPECT_GE(rfids, 1u);
}

TEST(SyntheticCard, EmptyImageSlotIsADeletedRecord) {
    // Slot 2 lost its marker but kept the rest of its words: only the marker tells.
    const Card card = syntheticCard();
    EXPECT_NE(word(card.imageCatalogue, 2, 0), kSlotMarker);
    EXPECT_EQ(chars(card.imageCatalogue, 2, 24, 6), "Spleen");
}

TEST(SyntheticCard, ImagesLookLikeScansTheRightWayUp) {
    const Card& card = pictures().card;
    std::set<std::uint64_t> different;
    for (std::size_t slot = 0; slot < records(card.imageCatalogue); ++slot) {
        if (!occupied(card.imageCatalogue, slot)) continue;
        SCOPED_TRACE("slot " + std::to_string(slot));
        const auto& raw = *pictures().images[slot];
        different.insert(fnv(raw));
        const double m = mean(raw, 0, 480 * 256);
        EXPECT_GT(m, 40);
        EXPECT_LT(m, 150);
        double var = 0;
        for (std::size_t i = 0; i < 480 * 256; ++i) var += (raw[i] - m) * (raw[i] - m);
        EXPECT_GT(var / (480 * 256), 15 * 15); // speckle and structure, not a flat field
        // Sample 255 is the top. The skin (depth 0) is at y = 48, sample 255 - (48 - o); above it
        // (higher samples) the gel is dark, at it the skin line is bright.
        const unsigned o = kOffset[word(card.imageCatalogue, slot, 1)];
        if (o < 44) {
            double gel = 0, skin = 0;
            for (std::size_t l = 0; l < 480; ++l) {
                gel += raw[l * 256 + 255 - (46 - o)];
                skin += raw[l * 256 + 255 - (48 - o) - 1];
            }
            EXPECT_LT(gel / 480, 30);
            EXPECT_GT(skin / 480, 110);
        }
    }
    EXPECT_EQ(different.size(), 7u);
}

TEST(SyntheticCard, CystMeasurementsLieAcrossTheCysts) {
    const Card& card = pictures().card;
    for (unsigned slot : {0u, 7u}) { // the liver cyst, the bladder
        SCOPED_TRACE("slot " + std::to_string(slot));
        const auto& raw = *pictures().images[slot];
        const unsigned o = kOffset[word(card.imageCatalogue, slot, 1)];
        const auto m = measurements(card.imageCatalogue, slot)[0];
        ASSERT_TRUE(m);
        const double cx = (m->x1 + m->x2) / 2.0, cy = (m->y1 + m->y2) / 2.0;
        EXPECT_LT(sampleAt(raw, o, cx, cy), 40);                            // inside: anechoic
        const double half = (m->x2 - m->x1) / 2.0;
        double outside = 0;
        for (int d = -2; d <= 2; ++d) outside += sampleAt(raw, o, cx + 1.3 * half, cy + d);
        EXPECT_GT(outside / 5, 60); // beside it: tissue
    }
}

TEST(SyntheticCard, CineFramesMoveAndKeepTheirLayout) {
    for (unsigned slot : {0u, 2u}) {
        SCOPED_TRACE("cine " + std::to_string(slot));
        const auto& raw = *pictures().cines[slot];
        const auto frame = [&](unsigned f) {
            return std::vector<std::uint8_t>(raw.begin() + f * 131072, raw.begin() + (f + 1) * 131072);
        };
        const auto f0 = frame(0), f3 = frame(3), f255 = frame(255);
        EXPECT_NE(f0, f3);
        EXPECT_NE(f0, f255);
        // Depth index 0 is the top: the skin line is bright; lines 384 on are not shown and black.
        double top = 0;
        for (std::size_t l = 0; l < 384; ++l) top += f0[l * 256 + 1];
        EXPECT_GT(top / 384, 110);
        EXPECT_TRUE(std::all_of(f0.begin() + 384 * 256, f0.end(), [](std::uint8_t b) { return b == 0; }));
        const double m = mean(f0, 0, 384 * 256);
        EXPECT_GT(m, 40);
        EXPECT_LT(m, 150);
    }
}

TEST(SyntheticCard, ServesTheDefaultIdentityAndThePatternCf) {
    const Card card = syntheticCard();
    EXPECT_EQ(card.identity.magic_number, 7181);
    EXPECT_EQ(card.identity.svn_version, 2013);
    EXPECT_EQ(card.identity.field_of_view, 40);
    std::vector<std::uint8_t> a(70000), b(70000);
    card.cf(3 * 65536 - 100, a);
    patternCf(3 * 65536 - 100, b);
    EXPECT_EQ(a, b);
}

TEST(PatternCf, EveryBlockBeginsWithItsNumber) {
    std::vector<std::uint8_t> cf(8 * 65536);
    patternCf(5 * 65536, cf);
    for (std::uint32_t b = 0; b < 8; ++b) {
        std::uint32_t n = 0;
        std::memcpy(&n, &cf[b * 65536], 4); // little-endian, as the test machines are
        EXPECT_EQ(n, 5 + b);
    }
    EXPECT_NE(std::vector<std::uint8_t>(cf.begin() + 4, cf.begin() + 65536),
              std::vector<std::uint8_t>(cf.begin() + 65536 + 4, cf.begin() + 2 * 65536));
    // Any offset reads the same bytes as the whole.
    std::vector<std::uint8_t> part(1000);
    patternCf(5 * 65536 + 65000, part);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), cf.begin() + 65000));
    // Past the 64 MiB of the storage: erased.
    std::vector<std::uint8_t> end(16);
    patternCf(kCfBytes - 8, end);
    EXPECT_TRUE(std::all_of(end.begin() + 8, end.end(), [](std::uint8_t v) { return v == 0xFF; }));
    std::uint32_t last = 0;
    std::vector<std::uint8_t> lastBlock(4);
    patternCf(kCfBytes - 65536, lastBlock);
    std::memcpy(&last, lastBlock.data(), 4);
    EXPECT_EQ(last, 1023u);
}

// ============================== card folders ==============================

TEST(CardFolder, RoundTripsTheSyntheticCard) {
    const TempFolder dir;
    const Card& card = pictures().card;
    writeCardFolder(card, dir.path());
    for (const char* name : {"scanner.ini", "image_opisy.bin", "cine_opisy.bin", "image_0.raw", "image_7.raw",
                             "cine_0.raw", "cine_2.raw"})
        EXPECT_TRUE(fs::exists(dir.path() / name)) << name;
    for (const char* name : {"image_2.raw", "cine_1.raw", "cf.bin"}) EXPECT_FALSE(fs::exists(dir.path() / name)) << name;

    const Card back = loadCardFolder(dir.path());
    EXPECT_EQ(back.imageCatalogue, card.imageCatalogue);
    EXPECT_EQ(back.cineCatalogue, card.cineCatalogue);
    EXPECT_EQ(back.identity.magic_number, card.identity.magic_number);
    EXPECT_EQ(back.identity.svn_version, card.identity.svn_version);
    EXPECT_EQ(back.identity.probe, card.identity.probe);
    EXPECT_EQ(back.identity.lh, card.identity.lh);
    EXPECT_EQ(back.identity.version_svn, card.identity.version_svn);
    EXPECT_EQ(back.identity.field_of_view, card.identity.field_of_view);
    EXPECT_FALSE(back.imageMax);
    EXPECT_FALSE(back.cineMax);
    for (unsigned slot = 0; slot < 9; ++slot) EXPECT_EQ(back.image(slot), pictures().images[slot]) << slot;
    EXPECT_EQ(back.cine(0), pictures().cines[0]);
    EXPECT_EQ(back.cine(2), pictures().cines[2]);
    EXPECT_FALSE(back.cine(1));
    std::vector<std::uint8_t> a(4096), b(4096);
    back.cf(7 * 65536, a);
    patternCf(7 * 65536, b);
    EXPECT_EQ(a, b);
    const ScannerFaults d;
    EXPECT_EQ(back.faults.staleSectors, d.staleSectors);
    EXPECT_EQ(back.faults.bytesPerSecond, d.bytesPerSecond);
    EXPECT_TRUE(back.faults.silentCommands.empty());
}

TEST(CardFolder, RoundTripsCountsAndFaults) {
    const TempFolder dir;
    Card card;
    card.identity.magic_number = 7180;
    card.identity.field_of_view = 45;
    card.imageMax = 3;
    card.cineMax = 0;
    card.imageCatalogue = catalogueWith(2, {1});
    card.image = [](unsigned slot) { return std::optional(std::vector<std::uint8_t>(kImageBytes, static_cast<std::uint8_t>(slot + 1))); };
    card.faults.silentCommands = {51, 10};
    card.faults.shortReplies = {{51, 0}, {13, 65536}};
    card.faults.staleSectors = 5;
    card.faults.drainsIgnored = 3;
    card.faults.linkLostAfterBlocks = 100;
    card.faults.bytesPerSecond = 1e6;
    card.faults.latency = Millis{7};
    writeCardFolder(card, dir.path());
    EXPECT_FALSE(fs::exists(dir.path() / "image_0.raw")); // slot 0 is empty
    EXPECT_TRUE(fs::exists(dir.path() / "image_1.raw"));
    EXPECT_EQ(fs::file_size(dir.path() / "cine_opisy.bin"), 0u);

    const Card back = loadCardFolder(dir.path());
    EXPECT_EQ(back.identity.magic_number, 7180);
    EXPECT_EQ(back.identity.field_of_view, 45);
    EXPECT_EQ(back.imageMax, std::optional<unsigned>(3));
    EXPECT_EQ(back.cineMax, std::optional<unsigned>(0));
    EXPECT_EQ(back.imageCount(), 3u);
    EXPECT_EQ(back.faults.silentCommands, card.faults.silentCommands);
    EXPECT_EQ(back.faults.shortReplies, card.faults.shortReplies);
    EXPECT_EQ(back.faults.staleSectors, 5u);
    EXPECT_EQ(back.faults.drainsIgnored, 3u);
    EXPECT_EQ(back.faults.linkLostAfterBlocks, std::optional<unsigned>(100));
    EXPECT_EQ(back.faults.bytesPerSecond, 1e6);
    EXPECT_EQ(back.faults.latency, Millis{7});
    EXPECT_EQ(back.image(1), card.image(1));
    EXPECT_FALSE(back.image(0));
}

TEST(CardFolder, WritingReplacesTheCardThatWasThere) {
    const TempFolder dir;
    dir.write("image_5.raw", std::vector<std::uint8_t>(10, 1));
    dir.write("cine_9.raw", std::vector<std::uint8_t>(10, 1));
    dir.write("cf.bin", std::vector<std::uint8_t>(10, 1));
    dir.write("notes.txt", std::string("the customer's complaint"));
    Card card;
    card.imageCatalogue = catalogueWith(1, {0});
    card.image = [](unsigned) { return std::optional(std::vector<std::uint8_t>(kImageBytes, 9)); };
    writeCardFolder(card, dir.path());
    EXPECT_FALSE(fs::exists(dir.path() / "image_5.raw"));
    EXPECT_FALSE(fs::exists(dir.path() / "cine_9.raw"));
    EXPECT_FALSE(fs::exists(dir.path() / "cf.bin"));
    EXPECT_TRUE(fs::exists(dir.path() / "notes.txt"));
    EXPECT_TRUE(fs::exists(dir.path() / "image_0.raw"));
}

TEST(CardFolder, AnEmptyFolderIsAScannerWithNothingStored) {
    const TempFolder dir;
    const Card card = loadCardFolder(dir.path());
    EXPECT_TRUE(card.imageCatalogue.empty());
    EXPECT_TRUE(card.cineCatalogue.empty());
    EXPECT_EQ(card.imageCount(), 0u);
    EXPECT_EQ(card.identity.magic_number, 7181);
    EXPECT_FALSE(card.image(0));
    EXPECT_FALSE(card.cine(0));
    std::vector<std::uint8_t> a(100), b(100);
    card.cf(0, a);
    patternCf(0, b);
    EXPECT_EQ(a, b);
}

struct IniCase {
    const char* name;
    std::string ini;
    std::function<void(const Card&)> check; // for a good file
    std::vector<std::string> error;         // words the error names, for a bad one
};

class ScannerIni : public ::testing::TestWithParam<IniCase> {};

TEST_P(ScannerIni, IsReadOrRefused) {
    const IniCase& c = GetParam();
    const TempFolder dir;
    dir.write("scanner.ini", c.ini);
    if (c.error.empty()) {
        const Card card = loadCardFolder(dir.path());
        c.check(card);
    } else {
        const std::string e = errorOf([&] { loadCardFolder(dir.path()); });
        EXPECT_NE(e.find("scanner.ini"), std::string::npos) << e;
        for (const std::string& w : c.error) EXPECT_NE(e.find(w), std::string::npos) << "\"" << w << "\" in: " << e;
    }
}

const ScannerFaults kDefaults;

INSTANTIATE_TEST_SUITE_P(
    Cases, ScannerIni,
    ::testing::Values(
        IniCase{"empty", "", [](const Card& c) {
                    EXPECT_EQ(c.identity.magic_number, 7181);
                    EXPECT_EQ(c.identity.svn_version, 2013);
                    EXPECT_EQ(c.identity.probe, 3);
                    EXPECT_EQ(c.identity.lh, 1);
                    EXPECT_EQ(c.identity.version_svn, 2013);
                    EXPECT_EQ(c.identity.field_of_view, 40);
                    EXPECT_FALSE(c.imageMax);
                    EXPECT_FALSE(c.cineMax);
                    EXPECT_TRUE(c.faults.silentCommands.empty());
                    EXPECT_TRUE(c.faults.shortReplies.empty());
                    EXPECT_EQ(c.faults.staleSectors, 2u);
                    EXPECT_EQ(c.faults.drainsIgnored, 0u);
                    EXPECT_FALSE(c.faults.linkLostAfterBlocks);
                    EXPECT_EQ(c.faults.bytesPerSecond, 32e6);
                    EXPECT_EQ(c.faults.latency, Millis{1});
                }, {}},
        IniCase{"identity",
                "; a customer's scanner\n[scanner]\nmagic_number = 7180\nsvn_version=1811\nprobe = 4\nlh = 2\n"
                "version_svn = 1900\nfield_of_view = 45\nimage_max = 3\ncine_max = 0\n",
                [](const Card& c) {
                    EXPECT_EQ(c.identity.magic_number, 7180);
                    EXPECT_EQ(c.identity.svn_version, 1811);
                    EXPECT_EQ(c.identity.probe, 4);
                    EXPECT_EQ(c.identity.lh, 2);
                    EXPECT_EQ(c.identity.version_svn, 1900);
                    EXPECT_EQ(c.identity.field_of_view, 45);
                    EXPECT_EQ(c.imageMax, std::optional<unsigned>(3));
                    EXPECT_EQ(c.cineMax, std::optional<unsigned>(0));
                }, {}},
        IniCase{"hex and case", "[SCANNER]\nMagic_Number = 0x1C0D\n", [](const Card& c) {
                    EXPECT_EQ(c.identity.magic_number, 7181);
                }, {}},
        IniCase{"silent", "[faults]\nsilent = 51, 10\n", [](const Card& c) {
                    EXPECT_EQ(c.faults.silentCommands, (std::set<std::uint8_t>{10, 51}));
                }, {}},
        IniCase{"short replies", "[faults]\nshort_reply = 51:0, 13:65536\n", [](const Card& c) {
                    EXPECT_EQ(c.faults.shortReplies, (std::map<std::uint8_t, std::size_t>{{51, 0}, {13, 65536}}));
                }, {}},
        IniCase{"numbers",
                "[faults]\nstale_sectors = 0\ndrains_ignored = 4\nlink_lost_after_blocks = 12\n"
                "bytes_per_second = 0\nlatency_ms = 20\n",
                [](const Card& c) {
                    EXPECT_EQ(c.faults.staleSectors, 0u);
                    EXPECT_EQ(c.faults.drainsIgnored, 4u);
                    EXPECT_EQ(c.faults.linkLostAfterBlocks, std::optional<unsigned>(12));
                    EXPECT_EQ(c.faults.bytesPerSecond, 0);
                    EXPECT_EQ(c.faults.latency, Millis{20});
                }, {}},
        IniCase{"empty values keep defaults", "[faults]\nsilent =\nlink_lost_after_blocks =\nstale_sectors =\n",
                [](const Card& c) {
                    EXPECT_TRUE(c.faults.silentCommands.empty());
                    EXPECT_FALSE(c.faults.linkLostAfterBlocks);
                    EXPECT_EQ(c.faults.staleSectors, kDefaults.staleSectors);
                }, {}},
        IniCase{"misspelt fault", "[faults]\nsilence = 51\n", nullptr, {"silence", "[faults]"}},
        IniCase{"misspelt identity", "[scanner]\nmagic = 7181\n", nullptr, {"magic", "[scanner]"}},
        IniCase{"misspelt section", "[fault]\nsilent = 51\n", nullptr, {"[fault]"}},
        IniCase{"key outside a section", "silent = 51\n[faults]\n", nullptr, {"silent", "outside"}},
        IniCase{"bad number", "[faults]\nstale_sectors = two\n", nullptr, {"stale_sectors", "two"}},
        IniCase{"negative number", "[faults]\nlatency_ms = -5\n", nullptr, {"latency_ms"}},
        IniCase{"identity out of range", "[scanner]\nmagic_number = 70000\n", nullptr, {"magic_number", "70000"}},
        IniCase{"bad command", "[faults]\nsilent = 51, x\n", nullptr, {"silent", "\"x\""}},
        IniCase{"command out of range", "[faults]\nsilent = 300\n", nullptr, {"silent", "300"}},
        IniCase{"pair without bytes", "[faults]\nshort_reply = 51\n", nullptr, {"short_reply", "51"}},
        IniCase{"pair with bad bytes", "[faults]\nshort_reply = 51:lots\n", nullptr, {"short_reply", "lots"}}),
    [](const ::testing::TestParamInfo<IniCase>& p) {
        std::string n = p.param.name;
        std::replace(n.begin(), n.end(), ' ', '_');
        return n;
    });

TEST(CardFolder, MissingRawFileMeansNoReply) {
    const TempFolder dir;
    dir.write("image_opisy.bin", catalogueWith(2, {0, 1}));
    dir.write("image_0.raw", std::vector<std::uint8_t>(kImageBytes, 77));
    const Card card = loadCardFolder(dir.path());
    EXPECT_TRUE(card.image(0));
    EXPECT_FALSE(card.image(1));
    EXPECT_FALSE(card.cine(0));
}

TEST(CardFolder, RawFilesAreReadWhenAsked) {
    const TempFolder dir;
    const Card card = loadCardFolder(dir.path());
    EXPECT_FALSE(card.image(3));
    dir.write("image_3.raw", std::vector<std::uint8_t>(kImageBytes, 5));
    const auto raw = card.image(3);
    ASSERT_TRUE(raw);
    EXPECT_EQ((*raw)[1000], 5);
}

TEST(CardFolder, ShortRawFilesArePaddedWithZeros) {
    const TempFolder dir;
    dir.write("image_0.raw", std::vector<std::uint8_t>(1000, 0xAB));
    dir.write("cine_4.raw", std::vector<std::uint8_t>(300000, 0xCD));
    const Card card = loadCardFolder(dir.path());
    const auto image = card.image(0);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->size(), kImageBytes);
    EXPECT_EQ((*image)[999], 0xAB);
    EXPECT_TRUE(std::all_of(image->begin() + 1000, image->end(), [](std::uint8_t b) { return b == 0; }));
    const auto cine = card.cine(4);
    ASSERT_TRUE(cine);
    ASSERT_EQ(cine->size(), kCineBytes);
    EXPECT_EQ((*cine)[299999], 0xCD);
    EXPECT_EQ((*cine)[300000], 0);
    EXPECT_EQ(cine->back(), 0);
}

TEST(CardFolder, OnTheWireAMissingFileIsSilenceAndAShortOneAFullReply) {
    const TempFolder dir;
    dir.write("scanner.ini", std::string("[faults]\nstale_sectors = 0\nbytes_per_second = 0\n"));
    dir.write("image_opisy.bin", catalogueWith(2, {0, 1}));
    dir.write("image_0.raw", std::vector<std::uint8_t>(1000, 0xAB));
    VirtualClock clock;
    Scanner scanner(loadCardFolder(dir.path()), clock);
    const std::vector<std::uint8_t> trailer(kSector, 0xFF);
    auto send = [&](std::initializer_list<std::uint8_t> head) {
        std::vector<std::uint8_t> block(kSector, 0xFF);
        std::copy(head.begin(), head.end(), block.begin());
        scanner.receiveBlock(block);
        scanner.receiveBlock(trailer);
    };
    send({0xFE, 0x01, 0x38, 0x01});                               // switch on
    send({0xFE, 0x01, 0x38, 0x01, 0x39, 13, 0x3A, 1, 0x3B, 0});   // image of slot 1: no file
    clock.advance(Millis{100});
    EXPECT_EQ(scanner.pendingBytes(), 0u);
    send({0xFE, 0x01, 0x38, 0x01, 0x39, 13, 0x3A, 0, 0x3B, 0});   // image of slot 0: 1000 bytes
    clock.advance(Millis{100});
    ASSERT_EQ(scanner.pendingBytes(), kImageBytes);
    std::vector<std::uint8_t> got(kImageBytes, 0x11);
    const auto d = scanner.deliver(got);
    EXPECT_EQ(d.bytes, kImageBytes);
    EXPECT_EQ(got[999], 0xAB);
    EXPECT_EQ(got[1000], 0);
    EXPECT_TRUE(scanner.protocolErrors().empty());
}

TEST(CardFolder, RawFileLargerThanItsSlotIsAnError) {
    const TempFolder dir;
    dir.write("image_2.raw", std::vector<std::uint8_t>(kImageBytes + 1, 0));
    const std::string e = errorOf([&] { loadCardFolder(dir.path()); });
    EXPECT_NE(e.find("image_2.raw"), std::string::npos) << e;
    EXPECT_NE(e.find("131073"), std::string::npos) << e;
}

TEST(CardFolder, RawFileWithAPaddedNumberIsAnError) {
    const TempFolder dir;
    dir.write("cine_01.raw", std::vector<std::uint8_t>(10, 0));
    const std::string e = errorOf([&] { loadCardFolder(dir.path()); });
    EXPECT_NE(e.find("cine_01.raw"), std::string::npos) << e;
}

TEST(CardFolder, CatalogueOfABadSizeIsAnErrorNamingTheFile) {
    for (const char* name : {"image_opisy.bin", "cine_opisy.bin"}) {
        const TempFolder dir;
        dir.write(name, std::vector<std::uint8_t>(3 * kSector + 1, 0));
        const std::string e = errorOf([&] { loadCardFolder(dir.path()); });
        EXPECT_NE(e.find(name), std::string::npos) << e;
        EXPECT_NE(e.find("1537"), std::string::npos) << e;
    }
}

TEST(CardFolder, CatalogueIsKeptAsItIs) {
    const TempFolder dir;
    auto catalogue = catalogueWith(3, {0, 2});
    catalogue[700] = 0x5A;
    dir.write("cine_opisy.bin", catalogue);
    const Card card = loadCardFolder(dir.path());
    EXPECT_EQ(card.cineCatalogue, catalogue);
    EXPECT_EQ(card.cineCount(), 3u);
    EXPECT_TRUE(card.imageCatalogue.empty());
}

TEST(CardFolder, CfFileIsReadAndTheRestIsErased) {
    const TempFolder dir;
    std::vector<std::uint8_t> cf(70000);
    for (std::size_t i = 0; i < cf.size(); ++i) cf[i] = static_cast<std::uint8_t>(i * 7);
    dir.write("cf.bin", cf);
    const Card card = loadCardFolder(dir.path());
    std::vector<std::uint8_t> out(10000);
    card.cf(65536, out);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + (70000 - 65536), cf.begin() + 65536));
    EXPECT_TRUE(std::all_of(out.begin() + (70000 - 65536), out.end(), [](std::uint8_t b) { return b == 0xFF; }));
    card.cf(8 * 1024 * 1024, out);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(CardFolder, CfFileLargerThanTheStorageIsAnError) {
    const TempFolder dir;
    dir.write("cf.bin", std::vector<std::uint8_t>{});
    fs::resize_file(dir.path() / "cf.bin", kCfBytes + 1);
    const std::string e = errorOf([&] { loadCardFolder(dir.path()); });
    EXPECT_NE(e.find("cf.bin"), std::string::npos) << e;
}

TEST(CardFolder, NotAFolderIsAnError) {
    const TempFolder dir;
    const std::string e = errorOf([&] { loadCardFolder(dir.path() / "nowhere"); });
    EXPECT_NE(e.find("nowhere"), std::string::npos) << e;
    dir.write("file", std::string("x"));
    EXPECT_NE(errorOf([&] { loadCardFolder(dir.path() / "file"); }).find("not a folder"), std::string::npos);
}

} // namespace
} // namespace kelvo::sim
