#pragma once
// Where the program keeps its files (PLATFORM.md): next to the executable where that folder is
// writable or holds the file (a portable copy); otherwise, for an installed program, the
// per-user folders.
//
//              state (files it writes for itself)      config (settings it reads)
//   Linux/mac  $XDG_STATE_HOME/kelvo                   $XDG_CONFIG_HOME/kelvo
//              (default ~/.local/state/kelvo)          (default ~/.config/kelvo)
//   Windows    %LOCALAPPDATA%\Kelvo                    %APPDATA%\Kelvo
//
// Nothing here is global: code that needs the folders takes an AppFolders, which tests build
// with folders of their own.
#include "base/AtomicFile.h" // kelvo::pathToUtf8

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo::platform {

// The running executable (Linux: /proc/self/exe; macOS: _NSGetExecutablePath; Windows:
// GetModuleFileNameW), and its folder. Empty when the system cannot tell.
std::filesystem::path executablePath();
std::filesystem::path executableFolder();

// Whether a file can be created in `folder`: tries to create (and removes) a file of its own
// there. False for a missing folder, a folder that is not writable, or a path that is no folder.
bool isFolderWritable(const std::filesystem::path& folder);

// The per-user folders (not created). Relative XDG values are ignored, as the XDG Base Directory rules say;
// an unset HOME falls back to the user database. Empty when nothing tells where they are.
std::filesystem::path stateFolder();
std::filesystem::path configFolder();

// Creates the folder and its parents when missing. True when it exists afterwards.
bool ensureFolder(const std::filesystem::path& folder, std::string* error = nullptr);

// A path from UTF-8 text (the program's texts are UTF-8; Windows paths are UTF-16). The other
// way is kelvo::pathToUtf8 of base/AtomicFile.h.
std::filesystem::path pathFromUtf8(std::string_view utf8);

// The first executable file of that name in the folders of PATH (Windows: also with ".exe").
std::optional<std::filesystem::path> findOnPath(const std::string& name);

struct AppFolders {
    std::filesystem::path executable; // the folder of the executable
    std::filesystem::path state;      // per-user state folder (created when first written to)
    std::filesystem::path config;     // per-user config folder

    static AppFolders forThisProcess();
};

} // namespace kelvo::platform
