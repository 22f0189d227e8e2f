#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace cli {

// One line on standard error that says what runs and for how long, redrawn
// five times a second on a thread of its own, so the timed loops never wait
// for the terminal. Draws nothing when not shown (standard error is not a
// terminal, or --quiet).
class Progress {
public:
    explicit Progress(bool shown);
    ~Progress();

    void show(std::string label);
    // Takes the line away, before anything else is written to the terminal.
    void clear();

private:
    void redraw(std::stop_token stop);
    void erase();

    const bool m_shown;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::string m_label;
    std::chrono::steady_clock::time_point m_since;
    std::size_t m_drawn = 0;
    std::jthread m_thread;
};

} // namespace cli
