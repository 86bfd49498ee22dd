#pragma once
// Helpers of the render tests: scratch folders, expected text cells, picture comparisons.
#include "imaging/Bitmap.h"
#include "items/TImageData.h"
#include "platform/ProcessStarter.h"
#include "simulator/Card.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::test {

inline constexpr TRGBStr kBlack{0, 0, 0};
inline constexpr TRGBStr kWhite{255, 255, 255};
inline TRGBStr grey(std::uint8_t v) { return {v, v, v}; }
inline TRGBStr rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {b, g, r}; }

struct ScratchFolder {
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::filesystem::path path;
};

void writeText(const std::filesystem::path& file, const std::string& text);

// A rectangle of a picture.
struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// A text as the renderer is to draw it: its cell and its expected pixels, drawn alone by the
// same text renderer into a scratch bitmap filled with `under` (for a clear background, what the
// picture holds beneath it).
struct ExpectedText {
    Rect cell;
    Bitmap24 pixels;
};
ExpectedText solidText(int x, int y, const std::string& text, int points, TRGBStr colour, TRGBStr background);
ExpectedText clearText(int x, int y, const std::string& text, int points, TRGBStr colour, TRGBStr under);

// The region of `picture` at the text's cell holds exactly the text's pixels.
::testing::AssertionResult showsText(const Bitmap24& picture, const ExpectedText& text);
// Every pixel of the rectangle has `colour`.
::testing::AssertionResult filledWith(const Bitmap24& picture, Rect r, TRGBStr colour);
// `picture` equals `expected` everywhere outside `exceptions`.
::testing::AssertionResult equalOutside(const Bitmap24& picture, const Bitmap24& expected,
                                        const std::vector<Rect>& exceptions);

// A raw image of one value.
std::vector<std::uint8_t> uniformRaw(std::uint8_t value);

// A card whose image catalogue has `records` slots, those in `occupied` in use (header fields
// left zero apart from range `zakres` and zoom 100); slot s answers with a raw image of value
// s + 1. No cines.
sim::Card cardWithSlots(unsigned records, const std::vector<unsigned>& occupied, std::uint16_t zakres = 4);

// Remembers what would have been started.
class RecordingStarter final : public platform::ProcessStarter {
public:
    bool shellOpen(const std::filesystem::path& file) override;
    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override;
    std::vector<std::vector<std::string>> started; // program, then the arguments (or the opened file)
};

} // namespace kelvo::test
