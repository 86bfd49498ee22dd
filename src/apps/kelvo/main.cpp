// kelvo: the command-line transfer tool.
#include "CommandLine.h"
#include "Commands.h"
#include "device/DeviceBackend.h"
#include "session/Connection.h"
#include "simulator/Card.h"

#include <iostream>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#ifndef KELVO_VERSION
#define KELVO_VERSION "0.0.0"
#endif

namespace {

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

} // namespace

int main(int argc, char** argv) {
    using namespace kelvo::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        Options options = parseCommandLine(args);
        options.terminal = stderrIsTerminal();
        if (options.version) {
            std::cout << "kelvo " << KELVO_VERSION << '\n';
            return kExitOk;
        }
        if (options.help) {
            std::cout << (options.command.empty() ? usage() : commandHelp(options.command));
            return kExitOk;
        }
        if (options.command == "info") return runInfo(options, std::cout, std::cerr);
        if (options.command == "set-clock") return runSetClock(options, std::cout, std::cerr);
        if (options.command == "dump-cf") return runDumpCf(options, std::cout, std::cerr);
        if (options.command == "list") return runListImages(options, std::cout, std::cerr);
        if (options.command == "cines") return runCines(options, std::cout, std::cerr);
        if (options.command == "cine2avi") return runCine2Avi(options, std::cout, std::cerr);
        if (options.command == "images") return runImages(options, std::cout, std::cerr);
        if (options.command == "render") return runRender(options, std::cout, std::cerr);
        return kExitUsage;
    } catch (const UsageError& e) {
        std::cerr << "kelvo: " << e.what() << "\nTry 'kelvo --help'.\n";
        return kExitUsage;
    } catch (const std::invalid_argument& e) {
        std::cerr << "kelvo: " << e.what() << "\nTry 'kelvo --help'.\n";
        return kExitUsage;
    } catch (const kelvo::ConnectError& e) {
        std::cerr << "kelvo: " << e.what() << '\n';
        if (!e.hint().empty()) std::cerr << e.hint() << '\n';
        return kExitNoScanner;
    } catch (const kelvo::sim::CardError& e) {
        std::cerr << "kelvo: bad simulator card: " << e.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "kelvo: " << e.what() << '\n';
        return kExitFailed;
    }
}
