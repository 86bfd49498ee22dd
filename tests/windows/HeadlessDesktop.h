#pragma once
// Windows for tests under wine without an X display: wine then needs its "null" graphics driver
// as a fallback behind x11, and a desktop of its own made after that is set, because a desktop
// that was started without a driver stays without one. With a display, x11 is used as before.
namespace kelvo::test {

// Switches the calling thread to a fresh desktop that can hold windows. Call before the first
// window is created. True when windows can be created there.
bool useHeadlessDesktop();

} // namespace kelvo::test
