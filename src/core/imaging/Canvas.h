#pragma once
// Drawing on a 24-bit bitmap the way the renderer draws on a VCL canvas: pen lines
// (MoveTo/LineTo), filled rectangles, rectangle copies and the measurement marks of
// rysujPomiar. Everything is clipped to the bitmap: no call ever writes outside it, whatever the
// coordinates (the whole int range is safe).
//
// How lines are rasterised (a documented choice; GDI's own rules are not reproduced bit for bit):
//  - The path of a line from (x1, y1) to (x2, y2) is the pixel sequence of the major axis
//    (the axis of the larger |dx| or |dy|), step i = 0..n with n = max(|dx|, |dy|): the major
//    coordinate moves by one each step, the minor one is the start's plus
//    round(i * dminor / n) with exact halves rounded away from the start. Axis-parallel and
//    45-degree lines, the only ones the renderer's marks use, are exact.
//  - Pen width 1 (GDI's cosmetic pen): LineTo draws the path without its last point, as GDI
//    does, so that joined polylines do not paint a corner twice. A zero-length line draws
//    nothing.
//  - Pen width w > 1 (GDI's geometric PS_SOLID pen with its default round end caps): a round
//    pen tip of diameter w is stamped on every point of the path, the last point included (GDI
//    draws the end cap there). The tip is the set of pixels whose centre lies within w / 2 of
//    the path point: for w = 3 the full 3 x 3 square around it. A horizontal width-3 stroke from
//    (a, y) to (b, y), a <= b, thus covers columns a - 1 .. b + 1 of rows y - 1 .. y + 1, which
//    is what the open-centre crosses of rysujPomiar rely on. A zero-length line stamps the tip
//    once.
#include "imaging/Bitmap.h"

namespace kelvo {

// A line of pen width `penWidth` (values below 1 are taken as 1, as GDI does for width 0) and
// colour `colour` from (x1, y1) to (x2, y2); see above for which pixels it covers.
void drawLine(Bitmap24& bitmap, int x1, int y1, int x2, int y2, TRGBStr colour, int penWidth = 1);

// Fills the rectangle left <= x < right, top <= y < bottom (VCL's FillRect: right and bottom
// exclusive), clipped to the bitmap. An empty or inverted rectangle fills nothing.
void fillRect(Bitmap24& bitmap, int left, int top, int right, int bottom, TRGBStr colour);

// Sets every pixel of the bitmap to `colour`.
void fill(Bitmap24& bitmap, TRGBStr colour);

// Copies the `width` x `height` rectangle whose top-left corner is (sourceX, sourceY) in `source`
// to (destX, destY) in `dest`, pixel for pixel (VCL's CopyRect with equal sizes). Parts outside
// either bitmap are skipped. `source` and `dest` must be different bitmaps.
void copyRect(const Bitmap24& source, int sourceX, int sourceY, int width, int height, Bitmap24& dest, int destX,
              int destY);

// One end mark of rysujPomiar: with pen width 3, the four strokes from 3 to 8 pixels
// away from (x, y): (x-3, y)-(x-8, y), (x+3, y)-(x+8, y), (x, y-3)-(x, y-8), (x, y+3)-(x, y+8). The
// pixels within one pixel of (x, y) stay untouched: a cross with an open centre.
void drawMeasurementCross(Bitmap24& bitmap, int x, int y, TRGBStr colour);

// rysujPomiar: the crosses at (x1, y1) and then at (x2, y2), then a line of pen width
// 1 from (x1, y1) to (x2, y2).
void drawMeasurement(Bitmap24& bitmap, int x1, int y1, int x2, int y2, TRGBStr colour);

// A canvas in VCL's manner: a pen (colour and width) and a current position for MoveTo/LineTo.
// It refers to the bitmap and must not outlive it.
class Canvas {
public:
    explicit Canvas(Bitmap24& bitmap) : bitmap_(&bitmap) {}

    TRGBStr penColour{};
    int penWidth = 1;

    void moveTo(int x, int y) {
        x_ = x;
        y_ = y;
    }
    // A line with the current pen from the current position to (x, y), which becomes the current
    // position.
    void lineTo(int x, int y) {
        drawLine(*bitmap_, x_, y_, x, y, penColour, penWidth);
        moveTo(x, y);
    }
    void fillRect(int left, int top, int right, int bottom, TRGBStr colour) {
        kelvo::fillRect(*bitmap_, left, top, right, bottom, colour);
    }
    Bitmap24& bitmap() { return *bitmap_; }

private:
    Bitmap24* bitmap_;
    int x_ = 0;
    int y_ = 0;
};

} // namespace kelvo
