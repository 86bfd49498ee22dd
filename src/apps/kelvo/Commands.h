#pragma once
#include "CommandLine.h"
#include "cine/CineExport.h"

#include <ostream>

namespace kelvo::cli {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoScanner = 3 }; // 130: InterruptBreak.h

int runInfo(const Options& options, std::ostream& out, std::ostream& err);
int runSetClock(const Options& options, std::ostream& out, std::ostream& err);
int runDumpCf(const Options& options, std::ostream& out, std::ostream& err);
int runListImages(const Options& options, std::ostream& out, std::ostream& err);
int runImages(const Options& options, std::ostream& out, std::ostream& err);
int runRender(const Options& options, std::ostream& out, std::ostream& err);
int runListCines(const Options& options, std::ostream& out, std::ostream& err);
int runCines(const Options& options, std::ostream& out, std::ostream& err);
int runCine2Avi(const Options& options, std::ostream& out, std::ostream& err);

// Where the cine commands look for the encoder (Options::programFolder in tests).
CineExportSettings cineExportSettings(const Options& options);

// A message of the program's own, CR LF and all, as a terminal shows it.
std::string forTerminal(std::string message);

} // namespace kelvo::cli
