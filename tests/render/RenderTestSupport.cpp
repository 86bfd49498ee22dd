#include "RenderTestSupport.h"

#include "imaging/TextRenderer.h"

#include <atomic>
#include <fstream>

namespace kelvo::test {

ScratchFolder::ScratchFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path = std::filesystem::temp_directory_path() /
           ("kelvo-render-" + std::string(info ? info->name() : "x") + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

void writeText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

ExpectedText solidText(int x, int y, const std::string& text, int points, TRGBStr colour, TRGBStr background) {
    ExpectedText t{{x, y, textWidth(text, points), textHeight(points)}, {}};
    t.pixels = Bitmap24(t.cell.w, t.cell.h, background);
    drawText(t.pixels, 0, 0, text, points, colour, background);
    return t;
}

ExpectedText clearText(int x, int y, const std::string& text, int points, TRGBStr colour, TRGBStr under) {
    ExpectedText t{{x, y, textWidth(text, points), textHeight(points)}, {}};
    t.pixels = Bitmap24(t.cell.w, t.cell.h, under);
    drawText(t.pixels, 0, 0, text, points, colour, std::nullopt);
    return t;
}

namespace {

std::string describe(TRGBStr c) {
    return "(R " + std::to_string(c.R) + ", G " + std::to_string(c.G) + ", B " + std::to_string(c.B) + ")";
}

} // namespace

::testing::AssertionResult showsText(const Bitmap24& picture, const ExpectedText& text) {
    int differing = 0;
    std::string first;
    for (int y = 0; y < text.cell.h; ++y)
        for (int x = 0; x < text.cell.w; ++x) {
            const int px = text.cell.x + x, py = text.cell.y + y;
            if (!picture.contains(px, py)) return ::testing::AssertionFailure() << "the cell leaves the picture";
            if (!(picture.at(px, py) == text.pixels.at(x, y)) && differing++ == 0)
                first = "(" + std::to_string(px) + ", " + std::to_string(py) + ") is " + describe(picture.at(px, py)) +
                        ", expected " + describe(text.pixels.at(x, y));
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels of the text cell at (" << text.cell.x << ", "
                                         << text.cell.y << ") differ; first " << first;
}

::testing::AssertionResult filledWith(const Bitmap24& picture, Rect r, TRGBStr colour) {
    for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
            if (!(picture.at(x, y) == colour))
                return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is " << describe(picture.at(x, y))
                                                     << ", expected " << describe(colour);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult equalOutside(const Bitmap24& picture, const Bitmap24& expected,
                                        const std::vector<Rect>& exceptions) {
    if (picture.width() != expected.width() || picture.height() != expected.height())
        return ::testing::AssertionFailure() << "size " << picture.width() << " x " << picture.height();
    int differing = 0;
    std::string first;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            bool skipped = false;
            for (const Rect& r : exceptions) skipped = skipped || r.contains(x, y);
            if (!skipped && !(picture.at(x, y) == expected.at(x, y)) && differing++ == 0)
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") is " + describe(picture.at(x, y)) +
                        ", expected " + describe(expected.at(x, y));
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ; first " << first;
}

std::vector<std::uint8_t> uniformRaw(std::uint8_t value) { return std::vector<std::uint8_t>(sim::kImageBytes, value); }

sim::Card cardWithSlots(unsigned records, const std::vector<unsigned>& occupied, std::uint16_t zakres) {
    sim::Card card;
    card.imageCatalogue.assign(records * sim::kSector, 0);
    auto word = [&](unsigned slot, unsigned n, std::uint16_t v) {
        card.imageCatalogue[slot * sim::kSector + 2 * n] = static_cast<std::uint8_t>(v & 0xFF);
        card.imageCatalogue[slot * sim::kSector + 2 * n + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    for (unsigned slot : occupied) {
        word(slot, 0, sim::kSlotMarker);
        word(slot, 1, zakres);
        word(slot, 17, 100);
        for (unsigned j = 0; j < 30; ++j) word(slot, 24 + j, ' ');
    }
    card.image = [occupied](unsigned slot) -> std::optional<std::vector<std::uint8_t>> {
        for (unsigned s : occupied)
            if (s == slot) return std::vector<std::uint8_t>(sim::kImageBytes, static_cast<std::uint8_t>(slot + 1));
        return std::nullopt;
    };
    card.cine = [](unsigned) -> std::optional<std::vector<std::uint8_t>> { return std::nullopt; };
    card.cf = sim::patternCf;
    return card;
}

bool RecordingStarter::shellOpen(const std::filesystem::path& file) {
    started.push_back({file.string()});
    return true;
}

bool RecordingStarter::startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> call{program.string()};
    call.insert(call.end(), arguments.begin(), arguments.end());
    started.push_back(std::move(call));
    return true;
}

} // namespace kelvo::test
