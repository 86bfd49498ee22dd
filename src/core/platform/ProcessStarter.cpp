#include "platform/ProcessStarter.h"

#include "platform/Paths.h"

#ifdef _WIN32
#include "platform/SystemText.h"

#include <windows.h>
#include <shellapi.h>
#ifdef _MSC_VER
#pragma comment(lib, "shell32")
#endif
#else
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;
#endif

namespace kelvo::platform {
namespace {

#ifdef _WIN32
// One argument as CommandLineToArgvW splits it back.
std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
        else out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

class WindowsStarter final : public ProcessStarter {
public:
    bool shellOpen(const std::filesystem::path& file) override {
        const HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    }

    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override {
        std::wstring commandLine = quoteArgument(program.wstring());
        for (const auto& a : arguments) commandLine += L" " + quoteArgument(utf8ToWide(a));
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return true;
    }
};
#else
// posix_spawn (no shell; it reports a program that cannot be executed), and a detached thread
// that reaps the process when it ends, so that no zombie is left while the program runs on.
bool spawnDetached(const std::string& path, const std::vector<std::string>& argvStrings) {
    std::vector<char*> argv;
    argv.reserve(argvStrings.size() + 1);
    for (const auto& s : argvStrings) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    try {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the process still runs; it stays a zombie until the program ends.
    }
    return true;
}

class PosixStarter final : public ProcessStarter {
public:
    bool shellOpen(const std::filesystem::path& file) override {
#ifdef __APPLE__
        const auto opener = findOnPath("open");
#else
        const auto opener = findOnPath("xdg-open");
#endif
        if (!opener) return false;
        return spawnDetached(opener->string(), {opener->string(), file.string()});
    }

    bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) override {
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return spawnDetached(program.string(), argv);
    }
};
#endif

} // namespace

std::unique_ptr<ProcessStarter> systemProcessStarter() {
#ifdef _WIN32
    return std::make_unique<WindowsStarter>();
#else
    return std::make_unique<PosixStarter>();
#endif
}

} // namespace kelvo::platform
