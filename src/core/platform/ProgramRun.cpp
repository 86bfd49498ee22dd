#include "platform/ProgramRun.h"

#include "platform/Paths.h"

#include <chrono>
#include <thread>

#ifdef _WIN32
#include "platform/SystemText.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kelvo::platform {
namespace {

#ifdef _WIN32
// A process handle, closed on every way out.
class ProcessHandle {
public:
    explicit ProcessHandle(HANDLE h) : h_(h) {}
    ~ProcessHandle() {
        if (h_ && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

ProgramExit waitForProcess(HANDLE process, const std::function<void()>& whileWaiting) {
    while (WaitForSingleObject(process, whileWaiting ? DWORD{kWaitSliceMs} : INFINITE) == WAIT_TIMEOUT)
        whileWaiting();
    DWORD code = 0;
    if (!GetExitCodeProcess(process, &code)) return {ProgramExit::End::Unknown, -1};
    return {ProgramExit::End::Exited, static_cast<int>(code)};
}

// One argument as CommandLineToArgvW and the C runtime split it back.
std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

HANDLE inheritable(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE) SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return h;
}

class WindowsRunner final : public ProgramRunner {
public:
    ProgramExit shellOpenAndWait(const std::filesystem::path& file,
                                 const std::function<void()>& whileWaiting) override {
        const std::wstring name = file.wstring();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
        info.lpVerb = L"open";
        info.lpFile = name.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return {};
        if (!info.hProcess) return {ProgramExit::End::Unknown, -1};
        const ProcessHandle process(info.hProcess);
        return waitForProcess(process.get(), whileWaiting);
    }

    ProgramExit runAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const std::optional<std::filesystem::path>& output,
                           const std::function<void()>& whileWaiting) override {
        std::wstring commandLine = quoteArgument(program.wstring());
        for (const auto& a : arguments)
            commandLine += L" " + quoteArgument(utf8ToWide(a));

        const ProcessHandle input(inheritable(
            CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)));
        const ProcessHandle log(output
                                    ? inheritable(CreateFileW(output->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))
                                    : nullptr);
        if (input.get() == INVALID_HANDLE_VALUE || (output && log.get() == INVALID_HANDLE_VALUE)) return {};

        STARTUPINFOW si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = input.get();
        si.hStdOutput = output ? log.get() : GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = output ? log.get() : GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                            nullptr, nullptr, &si, &pi))
            return {};
        CloseHandle(pi.hThread);
        const ProcessHandle process(pi.hProcess);
        return waitForProcess(process.get(), whileWaiting);
    }
};
#else
class FileActions {
public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = posix_spawnattr_init(&attr_) == 0; }
    ~SpawnAttributes() {
        if (ok_) posix_spawnattr_destroy(&attr_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool ok() const { return ok_; }
    posix_spawnattr_t* get() { return &attr_; }

private:
    posix_spawnattr_t attr_{};
    bool ok_ = false;
};

ProgramExit waitForProcess(pid_t pid, const std::function<void()>& whileWaiting) {
    int status = 0;
    while (true) {
        const pid_t r = waitpid(pid, &status, whileWaiting ? WNOHANG : 0);
        if (r == pid) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            return {ProgramExit::End::Unknown, -1};
        }
        whileWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitSliceMs));
    }
    if (WIFEXITED(status)) return {ProgramExit::End::Exited, WEXITSTATUS(status)};
    if (WIFSIGNALED(status)) return {ProgramExit::End::Exited, 128 + WTERMSIG(status)};
    return {ProgramExit::End::Unknown, -1};
}

ProgramExit spawnAndWait(const std::string& program, const std::vector<std::string>& argvStrings,
                         const std::optional<std::filesystem::path>& output, bool ownGroup,
                         const std::function<void()>& whileWaiting) {
    std::vector<char*> argv;
    argv.reserve(argvStrings.size() + 1);
    for (const auto& s : argvStrings)
        argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);

    FileActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !attributes.ok()) return {};
    if (posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0) return {};
    const std::string log = output ? output->string() : std::string();
    if (output) {
        if (posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0666) != 0 ||
            posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO) != 0)
            return {};
    }
    if (ownGroup && (posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETPGROUP) != 0 ||
                     posix_spawnattr_setpgroup(attributes.get(), 0) != 0))
        return {};

    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), actions.get(), attributes.get(), argv.data(), environ) != 0) return {};
    return waitForProcess(pid, whileWaiting);
}

class PosixRunner final : public ProgramRunner {
public:
    ProgramExit shellOpenAndWait(const std::filesystem::path& file,
                                 const std::function<void()>& whileWaiting) override {
#ifdef __APPLE__
        const auto opener = findOnPath("open");
#else
        const auto opener = findOnPath("xdg-open");
#endif
        if (!opener) return {};
        return spawnAndWait(opener->string(), {opener->string(), file.string()}, std::nullopt, false, whileWaiting);
    }

    ProgramExit runAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                           const std::optional<std::filesystem::path>& output,
                           const std::function<void()>& whileWaiting) override {
        std::vector<std::string> argv{program.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return spawnAndWait(program.string(), argv, output, true, whileWaiting);
    }
};
#endif

} // namespace

std::unique_ptr<ProgramRunner> systemProgramRunner() {
#ifdef _WIN32
    return std::make_unique<WindowsRunner>();
#else
    return std::make_unique<PosixRunner>();
#endif
}

} // namespace kelvo::platform
