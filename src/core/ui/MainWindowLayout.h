#pragma once
// The main window's design in client pixels, and how an outer height that the height rule sets
// becomes the client height of a toolkit that sizes windows by their client area. The design's
// outer height of 273 holds the client area of 241 plus 32 for the caption and the borders.
namespace kelvo::ui::layout {

struct Box {
    int left = 0, top = 0, width = 0, height = 0;
};

inline constexpr int kClientWidth = 251;
inline constexpr int kClientHeight = 241;
inline constexpr int kNonClientHeight = 32;

inline constexpr Box kImagesButton{24, 24, 75, 73};
// Anchored to the bottom as well: its height follows the window's.
inline constexpr Box kBreakButton{136, 24, 75, 185};
inline constexpr Box kCinesButton{24, 136, 75, 73};
// Docked to the bottom edge; its one panel is 256 wide.
inline constexpr int kStatusBarHeight = 19;
inline constexpr int kStatusPanelWidth = 256;

// The client height for an outer height, never below the status bar.
constexpr int clientHeightFor(int outerHeight) {
    const int client = outerHeight - kNonClientHeight;
    return client < kStatusBarHeight ? kStatusBarHeight : client;
}

// The Break button's height in a client area of `clientHeight`: it keeps its distance from the
// bottom edge, and never turns negative.
constexpr int breakButtonHeight(int clientHeight) {
    const int h = kBreakButton.height + (clientHeight - kClientHeight);
    return h < 0 ? 0 : h;
}

static_assert(clientHeightFor(273) == kClientHeight);
static_assert(breakButtonHeight(clientHeightFor(163)) == 75);

} // namespace kelvo::ui::layout
