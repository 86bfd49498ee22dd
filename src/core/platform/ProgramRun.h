#pragma once
// Starting an external program and waiting for its end, with its exit status: the video
// encoder, whose frames must not be replaced while it reads them and whose failure the user
// is told about. Behind an interface so that tests see what would be run without running it.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::platform {

struct ProgramExit {
    enum class End {
        NotStarted, // the system refused to start it
        Exited,     // it ended; `status` is its exit status
        Unknown,    // it was started, but the system gave no process to wait for
    };
    End end = End::NotStarted;
    // The exit status; on POSIX a program ended by a signal gives 128 + the signal number.
    int status = -1;

    bool succeeded() const { return end == End::Exited && status == 0; }
};

class ProgramRunner {
public:
    virtual ~ProgramRunner() = default;

    // Windows: the shell "open"s `file` (ShellExecuteExW, verb "open", no parameters, no working
    // folder, window shown normally) and the process it starts is waited for. Elsewhere the
    // desktop's opener (xdg-open, open) is run on it and waited for.
    virtual ProgramExit shellOpenAndWait(const std::filesystem::path& file,
                                         const std::function<void()>& whileWaiting) = 0;

    // Starts `program` directly with `arguments` as separate argv entries (argv[0] is the
    // program's path; no shell interprets a value), standard input from the null device and,
    // when `output` is given, standard output and error into that file (replaced). It runs in a
    // process group of its own, so that a Ctrl-C meant for this program's run does not cut it
    // short. Waits for its end.
    virtual ProgramExit runAndWait(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                                   const std::optional<std::filesystem::path>& output,
                                   const std::function<void()>& whileWaiting) = 0;
};

// While a program runs, `whileWaiting` (when set) is called about every kWaitSliceMs.
inline constexpr int kWaitSliceMs = 50;

std::unique_ptr<ProgramRunner> systemProgramRunner();

} // namespace kelvo::platform
