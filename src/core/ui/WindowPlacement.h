#pragma once
// The main window's placement file, "Kelvo_transmision.ini": one section, "Form68", with the
// window's placement record as the system reports it. "MinMaxPos" and "NormPos" are written
// twice, under the plain key and under the key followed by the desktop size, "(1920x1080)";
// a reader takes the sized key when it is there and the plain one otherwise. Only the show
// state and the left and top of the normal rectangle are restored: the size never comes from
// the file.
//
// Pure text in, placement out and back; the small file part below picks the folder and writes
// atomically.
#include "platform/Paths.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo::ui {

inline constexpr const char* kPlacementFileName = "Kelvo_transmision.ini";
inline constexpr const char* kPlacementSection = "Form68";

struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};
struct DesktopSize {
    int width = 0, height = 0;
};

// Show states as the placement record numbers them (SW_SHOWNORMAL, SW_SHOWMINIMIZED,
// SW_SHOWMAXIMIZED).
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;

struct WindowPlacement {
    int showCmd = kShowNormal;
    int flags = 0;
    int pixelsPerInch = 96;
    Point minPosition{-1, -1};
    Point maxPosition{-1, -1};
    Rect normalPosition;
    bool operator==(const WindowPlacement&) const = default;
};

// What a restore applies. Each part is missing when its key is missing or unreadable.
struct RestoredPlacement {
    std::optional<int> showCmd;
    std::optional<Point> position; // left, top of "NormPos"
    bool operator==(const RestoredPlacement&) const = default;
};

#ifdef _WIN32
inline constexpr std::string_view kPlacementLineEnd = "\r\n";
#else
inline constexpr std::string_view kPlacementLineEnd = "\n";
#endif

// "[Form68]", then ShowCmd, Flags, PixelsPerInch, MinMaxPos, MinMaxPos(WxH), NormPos,
// NormPos(WxH), one "key=value" a line, every line ended by `lineEnd`.
std::string placementText(const WindowPlacement& placement, DesktopSize desktop,
                          std::string_view lineEnd = kPlacementLineEnd);

// The placement the text holds for this desktop. Keys compare without regard to case.
RestoredPlacement readPlacement(std::string_view text, DesktopSize desktop);

// Where the file lives: next to the executable when that folder is writable (a portable copy),
// otherwise in the per-user config folder.
std::filesystem::path placementFilePath(const platform::AppFolders& folders);

// Nothing to restore when the file is missing or unreadable (the system then places the window).
RestoredPlacement loadPlacement(const std::filesystem::path& file, DesktopSize desktop);
// Creates the folder when missing and replaces the file atomically; throws std::runtime_error
// naming the file when it cannot be written.
void savePlacement(const std::filesystem::path& file, const WindowPlacement& placement, DesktopSize desktop);

} // namespace kelvo::ui
