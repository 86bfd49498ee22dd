// Rendering of one stored still image. The steps follow the order in which the scanner's own
// picture is built up, because later drawing covers earlier drawing: measurement captions lie
// on the scan, "FRID: " covers "ID ", and the "*" mark is drawn last.
#include "render/ImageRenderer.h"

#include "imaging/Bicubic.h"
#include "imaging/TextRenderer.h"

#include <array>
#include <stdexcept>

namespace kelvo {
namespace {

constexpr TRGBStr kBlack{0, 0, 0};
constexpr TRGBStr kWhite{255, 255, 255};
constexpr TRGBStr kBlue{255, 0, 0}; // B, G, R

// The six-bit colour codes of measurements 0..3.
constexpr std::array<int, 4> kKodyKolorow{12, 48, 56, 15};
constexpr std::array<std::uint8_t, 4> kPoziomy{0, 127, 191, 255};

void drawAnnotation(Bitmap24& picture, int x, int y, const std::string& text) {
    drawText(picture, x, y, text, kAnnotationPoints, kWhite, kBlack);
}

} // namespace

TRGBStr dajKolorPomiaru(int k) {
    if (k < 0 || k >= static_cast<int>(kKodyKolorow.size())) return kBlack;
    const int code = kKodyKolorow[static_cast<std::size_t>(k)];
    TRGBStr c;
    c.R = kPoziomy[static_cast<std::size_t>((code >> 4) & 3)];
    c.G = kPoziomy[static_cast<std::size_t>((code >> 2) & 3)];
    c.B = kPoziomy[static_cast<std::size_t>(code & 3)];
    return c;
}

void rysujPomiar(Canvas& canvas, int X1, int Y1, int X2, int Y2) {
    drawMeasurement(canvas.bitmap(), X1, Y1, X2, Y2, canvas.penColour);
}

std::string measurementCaption(int k, std::int32_t depthMm, std::int32_t lengthMm) {
    const std::string n = std::to_string(k);
    return "D" + n + "=" + std::to_string(depthMm) + "   L" + n + "=" + std::to_string(lengthMm);
}

Point2 measurementCaptionAt(int k) { return {2 + (k % 2) * 200, 452 + (k / 2) * 30}; }

Bitmap24 rawPicture(std::span<const std::uint8_t> raw) {
    if (raw.size() != kRawImageBytes)
        throw std::invalid_argument("a raw image holds " + std::to_string(kRawImageBytes) + " bytes, not " +
                                    std::to_string(raw.size()));
    Bitmap24 picture(kImageWidth, kRawPictureHeight, kBlack);
    for (int x = 0; x < kImageWidth; ++x) {
        const auto line = raw.subspan(static_cast<std::size_t>(x) * kRawSamples, kRawSamples);
        // Samples 254 and 255 (rows 1 and 0) stay black.
        for (int c = 0; c < kRawSamples - 2; ++c) {
            const std::uint8_t v = line[static_cast<std::size_t>(c)];
            picture.at(x, kRawPictureHeight - 1 - c) = TRGBStr{v, v, v};
        }
    }
    return picture;
}

Bitmap24 scaledPicture(std::span<const std::uint8_t> raw, const TImageData& image) {
    Bitmap24 scaled = BicubicResize(rawPicture(raw), kImageWidth, kScaledPictureHeight);
    Canvas canvas(scaled);
    for (int k = 0; k < static_cast<int>(image.g_Dane_wymiarowania.size()); ++k) {
        const Tpomiar& pomiar = image.g_Dane_wymiarowania[static_cast<std::size_t>(k)];
        if (!pomiar.jest()) continue; // its caption's place stays empty; the others keep theirs
        const TRGBStr colour = dajKolorPomiaru(k);
        canvas.penColour = colour;
        const PomiarNaObrazie at = image.pomiarNaObrazie(pomiar);
        rysujPomiar(canvas, at.X1, at.Y1, at.X2, at.Y2);
        const std::int32_t depth = image.KELVO_pomiar_l_policz_glebokosc(pomiar.y1);
        const std::int32_t length = image.dlugoscPomiaruMm(pomiar);
        const Point2 caption = measurementCaptionAt(k);
        drawText(scaled, caption.x, caption.y, measurementCaption(k, depth, length), kAnnotationPoints, colour, kBlack);
    }
    return scaled;
}

Bitmap24 renderImage(std::span<const std::uint8_t> raw, const TImageData& image, const RenderOptions& options) {
    const Bitmap24 scaled = scaledPicture(raw, image);

    Bitmap24 output(kImageWidth, kOutputHeight, kBlack);
    copyRect(scaled, 0, 0, kImageWidth, kScanRowsCopied, output, 0, kScanTop);

    drawAnnotation(output, 2, 2, "KORVANTEX Kelvo");
    const std::string time = dajCzasStr(image);
    drawAnnotation(output, 478 - textWidth(time, kAnnotationPoints), 2, time);
    drawAnnotation(output, 2, 544, "Dep." + image.dajZakresStr() + "mm");
    drawAnnotation(output, 2, 576, "Foc." + std::to_string(image.CF_config_focus) + "mm");
    drawAnnotation(output, 256, 544, "Freq." + image.dajCzestotliwoscStr() + "MHz");
    drawAnnotation(output, 256, 576, "ID " + std::to_string(std::int64_t{image.ID} + 1));
    if (options.rfidHook) drawAnnotation(output, 256, 576, "FRID: " + image.dajRfidStr(options.codePage));
    else if (image.CF_OPIS_jest) drawAnnotation(output, 2, 608, "Desc." + image.dajOpisStr(options.codePage));

    // Left and right swapped on the scanner: the mark moves to the right-hand corner; the scan
    // itself is not mirrored.
    drawText(output, image.CF_ZAMIEN_LEWA_PRAWA ? 448 : 16, 40, "*", kSwapMarkPoints, kBlue, std::nullopt);
    return output;
}

} // namespace kelvo
