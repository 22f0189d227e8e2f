#include "Progress.h"

#include "Console.h"
#include "NumberText.h"

namespace cli {

Progress::Progress(bool shown)
    : m_shown(shown)
{
    if (m_shown)
        m_thread = std::jthread([this](std::stop_token stop) { redraw(stop); });
}

Progress::~Progress()
{
    if (!m_shown)
        return;
    m_thread.request_stop();
    m_thread.join();
    clear();
}

void Progress::show(std::string label)
{
    if (!m_shown)
        return;
    const std::lock_guard lock(m_mutex);
    m_label = std::move(label);
    m_since = std::chrono::steady_clock::now();
}

void Progress::clear()
{
    if (!m_shown)
        return;
    const std::lock_guard lock(m_mutex);
    m_label.clear();
    erase();
}

void Progress::erase()
{
    if (m_drawn > 0)
        writeErr("\r" + std::string(m_drawn, ' ') + "\r");
    m_drawn = 0;
}

void Progress::redraw(std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        if (!m_label.empty()) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_since).count();
            const std::string line = m_label + " " + fixedText(seconds, 1) + " s";
            const std::size_t width = line.size();
            writeErr("\r" + line + (width < m_drawn ? std::string(m_drawn - width, ' ') : ""));
            m_drawn = std::max(m_drawn, width);
        }
        m_wake.wait_for(lock, stop, std::chrono::milliseconds(200), [] { return false; });
    }
}

} // namespace cli
