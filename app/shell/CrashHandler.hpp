#pragma once
// Writes one crash report into the data folder's "Crashes" folder when the
// process dies of a fatal signal (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT,
// SIGTRAP, SIGSYS), then lets the signal end the process as it would have.
// The handler runs on an alternate stack, so that a stack overflow can
// still be reported: the installing thread's, and one of its own for every
// thread started afterwards (the program's pthread_create gives it). It
// calls only async-signal-safe functions. Install once, early, on the main
// thread, before other threads start; install() blocks briefly (creates
// the folder).

#include <string>

namespace tavolune::CrashHandler {

// Reports are named "Tavolune-<UTC date>-<time>-<pid>.crash" so that their
// names sort by time. `versionText` heads each report. False when the
// folder cannot be made or the handlers cannot be set.
bool install(const std::string& crashesFolder, const std::string& versionText);

}  // namespace tavolune::CrashHandler
