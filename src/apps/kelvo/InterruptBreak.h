#pragma once
// Ctrl-C acts as "Break" while a run is in progress: the first one sets the break flag of the
// running transfer object (the run finishes its current item and ends the transmission); a
// second one ends the program at once with exit status 130. SIGINT on POSIX, the console
// control handler on Windows. Installed for the object's life; one at a time.
#include "workflow/RunningTransfer.h"

namespace kelvo::cli {

inline constexpr int kExitInterrupted = 130;

class InterruptBreak {
public:
    // `running` must outlive every run (a static object): a late handler may still reach it.
    explicit InterruptBreak(RunningTransfer& running);
    ~InterruptBreak();
    InterruptBreak(const InterruptBreak&) = delete;
    InterruptBreak& operator=(const InterruptBreak&) = delete;

    // How many interrupts came while installed.
    static int interrupts();
};

} // namespace kelvo::cli
