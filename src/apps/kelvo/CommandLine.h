#pragma once
// The command line of `kelvo`: global options, a command and its arguments.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvo::cli {

struct Options {
    std::string command;               // info, set-clock, dump-cf, list, images, render, cines, cine2avi
    // The command's words and, for the commands with options of their own (list, images,
    // render, cines, cine2avi), those options and their values, in command-line order.
    std::vector<std::string> arguments;
    bool simulate = false;
    std::optional<std::filesystem::path> card; // --simulate CARD
    std::optional<std::filesystem::path> trace;
    std::optional<std::string> usbId;
    bool help = false;
    bool version = false;
    // Run the protocol's pauses in virtual time (tests of the tool; not on the command line).
    bool virtualTime = false;
    // Messages go to a terminal: progress is drawn as a bar (set by main, not on the command line).
    bool terminal = false;
    // Where "RFID.ini" and the upload tool are looked for instead of the program's own folders
    // (tests of the tool; not on the command line).
    std::optional<std::filesystem::path> programFolder;
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Options parseCommandLine(const std::vector<std::string>& args);
std::string usage();
std::string commandHelp(const std::string& command);
// The help of the image commands (list, images, render).
std::string imageCommandHelp(const std::string& command);
// The help of the cine commands (cines, cine2avi) and of "list cines".
std::string cineCommandHelp(const std::string& command);

} // namespace kelvo::cli
