#include "InterruptBreak.h"

#include <atomic>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace kelvo::cli {
namespace {

// Read by the handler: lock-free atomics only, nothing else.
std::atomic<RunningTransfer*> g_running{nullptr};
std::atomic<int> g_interrupts{0};

void onInterrupt() {
    if (g_interrupts.fetch_add(1) >= 1) {
#ifdef _WIN32
        ExitProcess(kExitInterrupted);
#else
        _exit(kExitInterrupted);
#endif
    }
    if (RunningTransfer* running = g_running.load()) (void)running->requestBreak();
}

#ifdef _WIN32
BOOL WINAPI consoleHandler(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    onInterrupt();
    return TRUE;
}
#else
struct sigaction g_previous {};
extern "C" void sigintHandler(int) { onInterrupt(); }
#endif

} // namespace

InterruptBreak::InterruptBreak(RunningTransfer& running) {
    RunningTransfer* none = nullptr;
    if (!g_running.compare_exchange_strong(none, &running)) throw std::logic_error("Ctrl-C is already handled");
    g_interrupts.store(0);
#ifdef _WIN32
    SetConsoleCtrlHandler(consoleHandler, TRUE);
#else
    struct sigaction action {};
    action.sa_handler = sigintHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the waits go on; the run looks at the flag after its item
    sigaction(SIGINT, &action, &g_previous);
#endif
}

InterruptBreak::~InterruptBreak() {
#ifdef _WIN32
    SetConsoleCtrlHandler(consoleHandler, FALSE);
#else
    sigaction(SIGINT, &g_previous, nullptr);
#endif
    g_running.store(nullptr);
}

int InterruptBreak::interrupts() { return g_interrupts.load(); }

} // namespace kelvo::cli
