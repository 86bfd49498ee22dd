#pragma once
// The command line of `kelvo`: global options, a command and its arguments.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo::cli {

struct Options {
    std::string command;               // info, set-clock, dump-cf
    std::vector<std::string> arguments;
    bool simulate = false;
    std::optional<std::filesystem::path> card; // --simulate CARD
    std::optional<std::filesystem::path> trace;
    std::optional<std::string> usbId;
    bool help = false;
    bool version = false;
    // Run the protocol's pauses in virtual time (tests of the tool; not on the command line).
    bool virtualTime = false;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options parseCommandLine(const std::vector<std::string>& args);
std::string usage();
std::string commandHelp(const std::string& command);

} // namespace kelvo::cli
