#include "CommandLine.h"

#include <algorithm>
#include <array>

namespace kelvo::cli {
namespace {

constexpr std::array kCommands{"info", "set-clock", "dump-cf", "list", "images", "render", "cines", "cine2avi"};
// Commands that read options of their own: these pass on to the command's arguments.
constexpr std::array kCommandsWithOptions{"list", "images", "render", "cines", "cine2avi"};

bool isCommand(const std::string& word) {
    return std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end();
}

bool hasOwnOptions(const std::string& command) {
    return std::find(kCommandsWithOptions.begin(), kCommandsWithOptions.end(), command) != kCommandsWithOptions.end();
}

} // namespace

Options parseCommandLine(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= args.size()) throw UsageError(std::string(name) + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--version") o.version = true;
        else if (a == "--simulate") {
            o.simulate = true;
            // The card is optional: the next word is taken as the card when it names a folder.
            std::error_code ec;
            if (i + 1 < args.size() && !args[i + 1].starts_with("-") && !isCommand(args[i + 1]) &&
                std::filesystem::is_directory(args[i + 1], ec))
                o.card = args[++i];
        } else if (a.starts_with("--simulate=")) {
            o.simulate = true;
            o.card = a.substr(11);
        } else if (a == "--trace") o.trace = value("--trace");
        else if (a.starts_with("--trace=")) o.trace = a.substr(8);
        else if (a == "--usb-id") o.usbId = value("--usb-id");
        else if (a.starts_with("--usb-id=")) o.usbId = a.substr(9);
        else if (a.starts_with("-") && a.size() > 1) {
            if (!hasOwnOptions(o.command)) throw UsageError("unknown option " + a);
            o.arguments.push_back(a);
        }
        else if (o.command.empty()) {
            if (!isCommand(a)) throw UsageError("unknown command \"" + a + "\"");
            o.command = a;
        } else o.arguments.push_back(a);
    }
    if (o.command.empty() && !o.help && !o.version) throw UsageError("no command given");
    return o;
}

std::string usage() {
    return "Usage: kelvo [options] COMMAND [arguments]\n"
           "\n"
           "Talks to a Kelvo ultrasound scanner on USB, or to the simulated scanner.\n"
           "\n"
           "Commands:\n"
           "  info              show the scanner's identity, software revision and counts\n"
           "  set-clock [TIME]  set the scanner's clock (TIME: YYYY-MM-DD HH:MM; default now)\n"
           "  dump-cf FILE      copy the scanner's 64 MiB of CF storage into FILE\n"
           "  list images       show the scanner's catalogue of stored images\n"
           "  images -o DIR     download the stored images as annotated bitmaps into DIR\n"
           "  render RAW -o BMP render a raw picture file as an annotated bitmap (no scanner)\n"
           "  list cines        show the scanner's catalogue of stored cines\n"
           "  cines -o DIR      download the stored cines and make each a video in DIR\n"
           "  cine2avi RAW -o DIR --fov MM --range MM\n"
           "                    make a raw cine file into frames and a video (no scanner)\n"
           "\n"
           "Options:\n"
           "  --simulate [CARD] use the simulated scanner: the card folder CARD, or the built-in card\n"
           "  --trace FILE      write every block, read and pause on the wire to FILE\n"
           "  --usb-id VID:PID  the scanner's USB id (default 04b4:8613, or $KELVO_USB_ID)\n"
           "  --help            show this text, or a command's with COMMAND --help\n"
           "  --version         show the program's version\n"
           "\n"
           "Exit status: 0 done; 1 the scanner refused, a check failed or an item failed; 2 bad\n"
           "command line; 3 no scanner found, or it could not be opened; 130 interrupted (Ctrl-C).\n";
}

std::string commandHelp(const std::string& command) {
    if (command == "info")
        return "Usage: kelvo info [--simulate [CARD]] [--trace FILE]\n\n"
               "Switches the scanner into USB transfer mode, synchronises, and shows its magic number,\n"
               "software revision, the three version words, field of view, and the number of stored\n"
               "images and cines; then ends the transmission. Fails when the magic number is not 7181\n"
               "or the revision is below 1812.\n";
    if (command == "set-clock")
        return "Usage: kelvo set-clock [TIME] [--simulate [CARD]] [--trace FILE]\n\n"
               "Sets the scanner's clock to TIME (\"YYYY-MM-DD HH:MM\", or YYYY-MM-DDTHH:MM), or to the\n"
               "local time now. The scanner keeps minutes: seconds are dropped.\n";
    if (command == "dump-cf")
        return "Usage: kelvo dump-cf FILE [--simulate [CARD]] [--trace FILE]\n\n"
               "Copies the scanner's 64 MiB of CF storage into FILE in eight chunks of 8 MiB, each at its\n"
               "own offset. A chunk that cannot be read is left as zeros and named; the exit status is\n"
               "then 1.\n";
    if (command == "list") return imageCommandHelp(command) + "\n" + cineCommandHelp(command);
    if (command == "images" || command == "render") return imageCommandHelp(command);
    if (command == "cines" || command == "cine2avi") return cineCommandHelp(command);
    return usage();
}

} // namespace kelvo::cli
