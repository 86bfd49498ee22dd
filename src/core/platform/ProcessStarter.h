#pragma once
// Starting the external programs that the system never waits for (the upload tool, and later
// the encoder). Behind an interface so that tests can see what would be started without
// starting anything.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kelvo::platform {

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;

    // Windows: asks the shell to "open" the file (ShellExecuteW, verb "open", no parameters, no
    // working folder, window shown normally). True when the shell took the request.
    virtual bool shellOpen(const std::filesystem::path& file) = 0;

    // Starts `program` directly with `arguments` as separate argv entries (argv[0] is the
    // program's path): no shell ever interprets a value. Not waited for; the started process is
    // not left behind as a zombie. True when the program was started.
    virtual bool startDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments) = 0;
};

// The system's own: ShellExecuteW on Windows (startDetached through CreateProcessW there);
// posix_spawn elsewhere, reaped by a detached thread (shellOpen through xdg-open on Linux, open
// on macOS, found on PATH).
std::unique_ptr<ProcessStarter> systemProcessStarter();

} // namespace kelvo::platform
