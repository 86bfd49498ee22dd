#pragma once
// Bicubic resampling: a resized copy of a 24-bit bitmap.
#include "imaging/Bitmap.h"

namespace kelvo {

// The cubic convolution kernel with a = -1 for a distance t >= 0: K(0) = 1,
// K(1) = K(2) = 0, and -0.125, 0.625, 0.625, -0.125 at half-way positions. Evaluated in the
// factored form: (t*t - t - 1)*(t - 1) below 1, -(t - 1)*(t - 2)*(t - 2) from 1 on.
double bicubicKernel(double t);

// A new W x H bitmap resampled from `source` exactly as the scanner's pictures need it: scale factors
// fx = Ws / W and fy = Hs / H in double precision; destination pixel (px, py) samples source
// position (px * fx, py * fy) with no half-pixel offset; the 4 x 4 taps around it, a tap
// outside the source taking the sample of the centre column ix (or row iy), not of the nearest
// edge; per channel sum = sum + (sample * wx) * wy in double precision, tap rows outer and tap
// columns inner; the sum rounded to the nearest integer with halves to the even neighbour, then
// clipped to 0..255. The source is not changed.
//
// Throws std::invalid_argument when W or H is not positive, or when the source is empty (it then
// has no sample to draw on). Memory exhaustion surfaces as std::bad_alloc; no half-built bitmap
// is ever returned.
Bitmap24 BicubicResize(const Bitmap24& source, int W, int H);

} // namespace kelvo
