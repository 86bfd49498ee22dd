#include "platform/Paths.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif
#ifdef __APPLE__
#include <mach-o/dyld.h>
#endif

namespace kelvo::platform {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
fs::path environmentFolder(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 || n >= value.size()) return {};
    value.resize(n);
    return fs::path(value);
}
#else
fs::path absoluteEnvironmentFolder(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return {};
    fs::path p(value);
    return p.is_absolute() ? p : fs::path{};
}

fs::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home);
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return fs::path(pw->pw_dir);
    return {};
}

fs::path xdgFolder(const char* variable, const char* defaultBelowHome) {
    if (fs::path p = absoluteEnvironmentFolder(variable); !p.empty()) return p / "kelvo";
    const fs::path home = homeFolder();
    if (home.empty()) return {};
    return home / defaultBelowHome / "kelvo";
}
#endif

} // namespace

fs::path executablePath() {
#ifdef _WIN32
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
#elif defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string buffer(size, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) return {};
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    std::error_code ec;
    fs::path p = fs::canonical(buffer, ec);
    return ec ? fs::path(buffer) : p;
#else
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path{} : p;
#endif
}

fs::path executableFolder() { return executablePath().parent_path(); }

bool isFolderWritable(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return false;
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const auto pid = static_cast<unsigned long>(GetCurrentProcessId());
#else
    const auto pid = static_cast<unsigned long>(getpid());
#endif
    const fs::path probe =
        folder / (".kelvo-write-test-" + std::to_string(pid) + "-" + std::to_string(counter.fetch_add(1)));
    bool created = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        created = static_cast<bool>(out);
    }
    if (created) fs::remove(probe, ec);
    return created;
}

fs::path stateFolder() {
#ifdef _WIN32
    const fs::path base = environmentFolder(L"LOCALAPPDATA");
    return base.empty() ? fs::path{} : base / "Kelvo";
#else
    return xdgFolder("XDG_STATE_HOME", ".local/state");
#endif
}

fs::path configFolder() {
#ifdef _WIN32
    const fs::path base = environmentFolder(L"APPDATA");
    return base.empty() ? fs::path{} : base / "Kelvo";
#else
    return xdgFolder("XDG_CONFIG_HOME", ".config");
#endif
}

bool ensureFolder(const fs::path& folder, std::string* error) {
    std::error_code ec;
    if (folder.empty()) {
        if (error) *error = "no folder";
        return false;
    }
    if (fs::is_directory(folder, ec)) return true;
    fs::create_directories(folder, ec);
    std::error_code again;
    if (fs::is_directory(folder, again)) return true;
    if (error) *error = ec ? ec.message() : "not a folder";
    return false;
}

fs::path pathFromUtf8(std::string_view utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::optional<fs::path> findOnPath(const std::string& name) {
#ifdef _WIN32
    const std::wstring path = environmentFolder(L"PATH").wstring();
    const wchar_t separator = L';';
    const std::vector<std::string> names{name, name + ".exe"};
#else
    const char* value = std::getenv("PATH");
    const std::string path = value ? value : "/usr/local/bin:/usr/bin:/bin";
    const char separator = ':';
    const std::vector<std::string> names{name};
#endif
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(separator, start);
        if (end == path.npos) end = path.size();
        const fs::path folder(path.substr(start, end - start));
        start = end + 1;
        if (folder.empty()) continue;
        for (const auto& n : names) {
            const fs::path candidate = folder / n;
            std::error_code ec;
            if (!fs::is_regular_file(candidate, ec)) continue;
#ifndef _WIN32
            if (access(candidate.c_str(), X_OK) != 0) continue;
#endif
            return candidate;
        }
    }
    return std::nullopt;
}

AppFolders AppFolders::forThisProcess() { return AppFolders{executableFolder(), stateFolder(), configFolder()}; }

} // namespace kelvo::platform
