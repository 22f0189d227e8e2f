#pragma once

#include <stop_token>

namespace cli {

// Turns the ways a person or the system asks a console program to stop
// (Ctrl+C, SIGTERM, SIGHUP; on Windows Ctrl+C, Ctrl+Break, closing the
// console, logging off) into a stop request, which the copy and the read
// see within one block. The program then cleans up and ends as interrupted.
// A second request while it cleans up ends it at once, with a line on
// standard error naming what stays where (writtenFiles()). Construct it
// before any other thread starts, and only once.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    std::stop_token token() const;
    // Everything that was written is gone (or said to be there): a console
    // that is being closed may go now.
    void cleanedUp();
    // Ends the program the way the stop asked for: on POSIX by the same
    // signal, so that a calling shell sees it (128 + its number, 130 for
    // Ctrl+C); on Windows with status 130.
    [[noreturn]] void endAsInterrupted();
    // The status endAsInterrupted() ends with, as the caller's shell sees it.
    int exitStatus() const;
};

} // namespace cli
