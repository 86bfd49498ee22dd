#include "Commands.h"
#include "ScannerAccess.h"

#include <cstdio>
#include <ctime>

namespace kelvo::cli {
namespace {

ClockTime parseTime(const std::string& text) {
    ClockTime t;
    char sep = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &t.year, &t.month, &t.day, &sep, &t.hour, &t.minute,
                    &consumed) != 6 ||
        (sep != ' ' && sep != 'T') || static_cast<std::size_t>(consumed) != text.size())
        throw UsageError("\"" + text + "\" is not a time of the form YYYY-MM-DD HH:MM");
    // The scanner counts years from 2000 in one byte.
    if (t.year < 2000 || t.year > 2255 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
        t.minute > 59 || t.hour < 0 || t.minute < 0)
        throw UsageError("\"" + text + "\" is not a time the scanner can keep (years 2000 to 2255)");
    return t;
}

ClockTime now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return ClockTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

} // namespace

int runSetClock(const Options& options, std::ostream& out, std::ostream&) {
    if (options.arguments.size() > 1) throw UsageError("set-clock takes one TIME");
    const ClockTime time = options.arguments.empty() ? now() : parseTime(options.arguments[0]);
    ScannerAccess access(options);
    Transmission tx(access.device());
    tx->ustawDateCzas(time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", time.year, time.month, time.day, time.hour,
                  time.minute);
    out << "Scanner clock set to " << text << '\n';
    return kExitOk;
}

} // namespace kelvo::cli
