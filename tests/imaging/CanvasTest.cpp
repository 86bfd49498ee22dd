// Lines, clipping, the measurement crosses, rectangles and rectangle copies.
#include "imaging/Canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

namespace kelvo {
namespace {

const TRGBStr kBlack{0, 0, 0};
const TRGBStr kGreen{0, 255, 0};
const TRGBStr kGrey{128, 128, 128};

using Points = std::set<std::pair<int, int>>;

Points painted(const Bitmap24& b, TRGBStr background = kBlack) {
    Points p;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (!(b.at(x, y) == background)) p.insert({x, y});
    return p;
}

Points rect(int x0, int y0, int x1, int y1) { // inclusive corners
    Points p;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            p.insert({x, y});
    return p;
}

TEST(DrawLine, WidthOneLeavesOutTheLastPoint) {
    Bitmap24 b(20, 20);
    drawLine(b, 2, 5, 7, 5, kGreen, 1);
    EXPECT_EQ(painted(b), rect(2, 5, 6, 5));
    Bitmap24 c(20, 20);
    drawLine(c, 7, 5, 2, 5, kGreen, 1); // right to left: (2, 5) left out
    EXPECT_EQ(painted(c), rect(3, 5, 7, 5));
}

TEST(DrawLine, WidthOneDiagonalAndSteep) {
    Bitmap24 b(20, 20);
    drawLine(b, 1, 1, 5, 5, kGreen, 1);
    EXPECT_EQ(painted(b), (Points{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    Bitmap24 c(20, 20);
    drawLine(c, 0, 0, 2, 8, kGreen, 1); // y-major: one pixel per row 0..7
    const Points p = painted(c);
    EXPECT_EQ(p.size(), 8u);
    for (int y = 0; y < 8; ++y) {
        int count = 0;
        for (const auto& [x, yy] : p)
            if (yy == y) ++count;
        EXPECT_EQ(count, 1) << y;
    }
    EXPECT_TRUE(p.count({0, 0}));
}

TEST(DrawLine, ZeroLength) {
    Bitmap24 b(10, 10);
    drawLine(b, 4, 4, 4, 4, kGreen, 1);
    EXPECT_TRUE(painted(b).empty());
    drawLine(b, 4, 4, 4, 4, kGreen, 3);
    EXPECT_EQ(painted(b), rect(3, 3, 5, 5));
}

TEST(DrawLine, WidthThreeCoversTheExpectedPixels) {
    Bitmap24 b(30, 30);
    drawLine(b, 7, 10, 2, 10, kGreen, 3); // as the cross stroke (X - 3, Y)-(X - 8, Y) with X = 10
    EXPECT_EQ(painted(b), rect(1, 9, 8, 11));
    Bitmap24 c(30, 30);
    drawLine(c, 10, 13, 10, 18, kGreen, 3);
    EXPECT_EQ(painted(c), rect(9, 12, 11, 19));
}

TEST(DrawLine, FarOutsideDrawsNothing) {
    Bitmap24 b(50, 40);
    drawLine(b, -1000, -1000, -10, -500, kGreen, 1);
    drawLine(b, 100, 0, 100, 39, kGreen, 3);
    drawLine(b, INT_MIN, INT_MIN, INT_MAX, INT_MIN, kGreen, 3);
    drawLine(b, INT_MIN, INT_MAX, INT_MAX, INT_MAX, kGreen, 1);
    drawLine(b, -2, -100, -2, 100, kGreen, 3); // reaches no column 0
    EXPECT_TRUE(painted(b).empty());
}

TEST(DrawLine, HugeLinesAreClippedQuickly) {
    Bitmap24 b(50, 40);
    drawLine(b, INT_MIN, 20, INT_MAX, 20, kGreen, 3); // through the whole width
    EXPECT_EQ(painted(b), rect(0, 19, 49, 21));
    Bitmap24 c(50, 40);
    drawLine(c, INT_MIN, INT_MIN, INT_MAX, INT_MAX, kGreen, 1); // the main diagonal
    const Points p = painted(c);
    EXPECT_FALSE(p.empty());
    for (const auto& [x, y] : p)
        EXPECT_LE(std::abs(x - y), 1);
}

TEST(DrawLine, PartlyOutsideIsClippedAtTheEdges) {
    Bitmap24 b(10, 10);
    drawLine(b, -5, 0, 15, 0, kGreen, 3);
    EXPECT_EQ(painted(b), rect(0, 0, 9, 1));
    Bitmap24 c(10, 10);
    drawLine(c, 5, 5, 5, 50, kGreen, 1);
    EXPECT_EQ(painted(c), rect(5, 5, 5, 9));
}

TEST(DrawLine, PenWidthBelowOneIsOne) {
    Bitmap24 a(10, 10);
    Bitmap24 b(10, 10);
    drawLine(a, 1, 1, 8, 3, kGreen, 0);
    drawLine(b, 1, 1, 8, 3, kGreen, 1);
    EXPECT_EQ(a, b);
}

TEST(DrawMeasurementCross, OpenCentreAndFourArms) {
    Bitmap24 b(40, 40);
    drawMeasurementCross(b, 20, 20, kGreen);
    Points expected;
    for (const Points& arm : {rect(11, 19, 18, 21), rect(22, 19, 29, 21), rect(19, 11, 21, 18), rect(19, 22, 21, 29)})
        expected.insert(arm.begin(), arm.end());
    EXPECT_EQ(painted(b), expected);
    for (int y = 19; y <= 21; ++y)
        for (int x = 19; x <= 21; ++x)
            EXPECT_EQ(b.at(x, y), kBlack) << x << "," << y;
}

TEST(DrawMeasurement, CrossesThenAThinLine) {
    Bitmap24 b(100, 60);
    drawMeasurement(b, 20, 30, 70, 30, kGreen);
    EXPECT_EQ(b.at(20, 30), kGreen); // the line starts at the first point
    EXPECT_EQ(b.at(69, 30), kGreen);
    EXPECT_EQ(b.at(70, 30), kBlack); // LineTo leaves out the last point: that centre stays open
    EXPECT_EQ(b.at(70, 29), kBlack);
    EXPECT_EQ(b.at(45, 29), kBlack); // the line itself is one pixel thick
    EXPECT_EQ(b.at(45, 30), kGreen);
    EXPECT_EQ(b.at(79, 31), kGreen); // end of the right arm of the second cross (its cap)
    EXPECT_EQ(b.at(80, 31), kBlack);
}

TEST(DrawMeasurement, NearTheEdgeDoesNotCrash) {
    Bitmap24 b(30, 30);
    drawMeasurement(b, 0, 0, 29, 29, kGreen);
    drawMeasurement(b, -3, 40, INT_MAX, INT_MIN, kGreen);
    EXPECT_EQ(b.at(5, 1), kGreen);
}

TEST(FillRect, ExclusiveRightAndBottomAndClipped) {
    Bitmap24 b(10, 10);
    fillRect(b, 2, 3, 5, 7, kGreen);
    EXPECT_EQ(painted(b), rect(2, 3, 4, 6));
    Bitmap24 c(10, 10);
    fillRect(c, -100, 8, 100, 1000, kGreen);
    EXPECT_EQ(painted(c), rect(0, 8, 9, 9));
    fillRect(c, 5, 5, 5, 9, kGrey); // empty
    fillRect(c, 6, 6, 2, 2, kGrey); // inverted
    EXPECT_EQ(painted(c), rect(0, 8, 9, 9));
    fill(c, kGrey);
    EXPECT_TRUE(painted(c, kGrey).empty());
}

TEST(CopyRect, ThePartsRectangleAndClipping) {
    // step 7: rows 0..510 of the 480 x 512 scaled picture to rows 32..542.
    Bitmap24 scaled(480, 512);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 480; ++x)
            scaled.at(x, y) = {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 1};
    Bitmap24 out(480, 640);
    copyRect(scaled, 0, 0, 480, 511, out, 0, 32);
    EXPECT_EQ(out.at(0, 31), kBlack);
    EXPECT_EQ(out.at(17, 32), scaled.at(17, 0));
    EXPECT_EQ(out.at(479, 542), scaled.at(479, 510));
    EXPECT_EQ(out.at(5, 543), kBlack);

    Bitmap24 small(4, 4);
    copyRect(scaled, 478, 510, 10, 10, small, -1, 1); // clipped on every side
    EXPECT_EQ(small.at(0, 1), scaled.at(479, 510));
    EXPECT_EQ(small.at(0, 2), scaled.at(479, 511));
    EXPECT_EQ(small.at(1, 1), kBlack);
    copyRect(scaled, INT_MIN, INT_MAX, INT_MAX, INT_MAX, small, INT_MAX, INT_MIN); // nothing, no crash
}

TEST(Canvas, MoveToLineToLikeVcl) {
    Bitmap24 b(20, 20);
    Canvas canvas(b);
    canvas.penColour = kGreen;
    canvas.penWidth = 1;
    canvas.moveTo(2, 2);
    canvas.lineTo(6, 2);
    canvas.lineTo(6, 6); // the corner (6, 2) is drawn once, by the second line
    EXPECT_EQ(painted(b), [] {
        Points p = rect(2, 2, 5, 2);
        const Points q = rect(6, 2, 6, 5);
        p.insert(q.begin(), q.end());
        return p;
    }());
}

} // namespace
} // namespace kelvo
