#pragma once
// The annotated picture of one stored still image: the raw scan laid out and doubled in height,
// the operator's measurements with their captions, and the recording settings, date and
// identification around it, on a black 480 x 640 portrait picture. Pure: no file, no scanner.
#include "imaging/Bitmap.h"
#include "imaging/Canvas.h"
#include "items/CodePage.h"
#include "items/TImageData.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kelvo {

// The raw picture as the scanner sends it: 512 scan lines of 256 one-byte samples, byte
// line x 256 + sample. Lines 0..479 are shown; samples 254 and 255 are painted black.
inline constexpr std::size_t kRawImageBytes = 131072;
inline constexpr int kRawLines = 512;
inline constexpr int kRawSamples = 256;

// The three pictures.
inline constexpr int kImageWidth = 480;
inline constexpr int kRawPictureHeight = 256;
inline constexpr int kScaledPictureHeight = 512;
inline constexpr int kOutputHeight = 640;
inline constexpr int kScanTop = 32;         // output row of the scaled picture's row 0
inline constexpr int kScanRowsCopied = 511; // the scaled picture's last row is not copied

// Font sizes of the annotations, in points (96 dpi).
inline constexpr int kAnnotationPoints = 16;
inline constexpr int kSwapMarkPoints = 24;

struct RenderOptions {
    // "RFID.ini" is present: the RFID number is shown over the item number and the description
    // is left out.
    bool rfidHook = false;
    // How the scanner's single-byte RFID and description fields become text.
    CodePage codePage = kDefaultCodePage;
};

// The colour of measurement k (0..3), from its six-bit code (two bits per channel, red in bits
// 5-4, green 3-2, blue 1-0; levels 0, 1, 2, 3 mean 0, 127, 191, 255): green, red, orange, cyan.
// Any other k gives black.
TRGBStr dajKolorPomiaru(int k);

// One measurement in the canvas's pen colour: open-centre crosses (pen 3) at both ends, then the
// line (pen 1) between them. Coordinates are pixels of the scaled picture.
void rysujPomiar(Canvas& canvas, int X1, int Y1, int X2, int Y2);

// "D" k "=" D "   L" k "=" L: the caption of measurement k with depth D and length L in mm.
std::string measurementCaption(int k, std::int32_t depthMm, std::int32_t lengthMm);

// Where the caption of measurement k goes on the scaled picture: (2, 452), (202, 452),
// (2, 482), (202, 482) for k = 0..3, whether or not the others are present.
struct Point2 {
    int x = 0, y = 0;
};
Point2 measurementCaptionAt(int k);

// The 480 x 256 raw picture: pixel (x, 255 - c) is sample c of line x in all three channels;
// rows 0 and 1 (samples 255 and 254) black. Throws std::invalid_argument unless `raw` holds
// exactly kRawImageBytes.
Bitmap24 rawPicture(std::span<const std::uint8_t> raw);

// The 480 x 512 scaled picture: the raw picture resized bicubically, the measurements of
// `image` that are present drawn on it and captioned.
Bitmap24 scaledPicture(std::span<const std::uint8_t> raw, const TImageData& image);

// The finished 480 x 640 picture that is saved as the item's bitmap file. Throws
// std::invalid_argument unless `raw` holds exactly kRawImageBytes.
Bitmap24 renderImage(std::span<const std::uint8_t> raw, const TImageData& image, const RenderOptions& options);

} // namespace kelvo
