#include "Relay.h"

#include <poll.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace relay {

namespace {

// Packets taken from one device per wake-up, so a flood one way cannot keep
// the other way (or a due release) waiting.
constexpr int kBatch = 64;

std::chrono::nanoseconds now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

void say(const std::string& message)
{
    std::cerr << "realshare_relay: " << message << std::endl;
}

int openSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&set, signal);
    const int fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "cannot take signals through signalfd");
    return fd;
}

} // namespace

Relay::Relay(const Settings& settings)
    : m_settings(settings)
    , m_delay(readDelay())
    , m_a(settings.netnsA, settings.tunA)
    , m_b(settings.netnsB, settings.tunB)
    , m_directions{{{m_a, m_b, DelayQueue(settings.queueBytes)}, {m_b, m_a, DelayQueue(settings.queueBytes)}}}
    , m_signals(openSignals())
{
    // A sleep may otherwise end up to 50 µs late, a fifth of the smallest
    // delay worth setting.
    ::prctl(PR_SET_TIMERSLACK, 1000UL);
}

Relay::~Relay()
{
    ::close(m_signals);
}

std::chrono::microseconds Relay::readDelay() const
{
    std::ifstream in(m_settings.controlFile);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in)
        throw std::runtime_error("cannot read the delay from " + m_settings.controlFile);
    const auto first = text.find_first_not_of(" \t\n");
    const auto last = text.find_last_not_of(" \t\n");
    std::int64_t micros = -1;
    if (first != std::string::npos) {
        const char* end = text.data() + last + 1;
        const auto [stop, error] = std::from_chars(text.data() + first, end, micros);
        if (error != std::errc() || stop != end)
            micros = -1;
    }
    if (micros < 0)
        throw std::runtime_error(m_settings.controlFile + " must hold the one-way delay in whole microseconds, not '"
                                 + text + "'");
    return std::chrono::microseconds(micros);
}

void Relay::take(Direction& direction)
{
    for (int i = 0; i < kBatch; ++i) {
        const std::size_t size = direction.from.read(m_buffer);
        if (size == 0)
            return;
        if (!direction.queue.push(now(), {m_buffer.data(), size})) {
            if (direction.droppedFull++ == 0)
                say("queue towards " + direction.to.name() + " full (" + std::to_string(direction.queue.capacity())
                    + " bytes): dropping packets");
            continue;
        }
        direction.mostBytesHeld = std::max(direction.mostBytesHeld, direction.queue.bytesHeld());
    }
}

void Relay::release(Direction& direction, std::chrono::nanoseconds at)
{
    // Due times follow arrival order whatever the delay, so the oldest
    // packet is always the next one due, also just after a change.
    while (!direction.queue.empty() && direction.queue.frontArrival() + m_delay <= at) {
        if (!direction.to.write(direction.queue.front()) && direction.writeFailures++ == 0)
            say("cannot pass a packet to " + direction.to.name() + ": " + std::generic_category().message(errno)
                + " (counting, not repeating this)");
        direction.queue.pop();
        ++direction.passed;
    }
}

bool Relay::handleSignals()
{
    bool stop = false;
    signalfd_siginfo info{};
    while (::read(m_signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        switch (info.ssi_signo) {
        case SIGHUP: {
            // A bad file keeps the delay, and the status that shows it.
            try {
                const auto delay = readDelay();
                say("one-way delay " + std::to_string(m_delay.count()) + " µs -> " + std::to_string(delay.count())
                    + " µs");
                m_delay = delay;
            } catch (const std::exception& e) {
                say(std::string(e.what()) + "; keeping " + std::to_string(m_delay.count()) + " µs");
                break;
            }
            writeStatus();
            break;
        }
        case SIGUSR1:
            writeStatus();
            break;
        default:
            stop = true;
        }
    }
    return stop;
}

void Relay::writeStatus() const
{
    std::ostringstream text;
    const auto& ab = m_directions[0];
    const auto& ba = m_directions[1];
    text << "delay_us=" << m_delay.count() << '\n'
         << "queue_limit_bytes=" << ab.queue.capacity() << '\n'
         << "passed_a_to_b=" << ab.passed << '\n'
         << "passed_b_to_a=" << ba.passed << '\n'
         << "most_bytes_held=" << std::max(ab.mostBytesHeld, ba.mostBytesHeld) << '\n'
         << "dropped_queue_full=" << ab.droppedFull + ba.droppedFull << '\n'
         << "write_failures=" << ab.writeFailures + ba.writeFailures << '\n';
    // Readers must never see half a file: write beside it, then rename.
    const std::string fresh = m_settings.statusFile + ".new";
    {
        std::ofstream out(fresh, std::ios::trunc);
        out << text.str();
        if (!out.flush())
            throw std::runtime_error("cannot write " + fresh);
    }
    if (std::rename(fresh.c_str(), m_settings.statusFile.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot rename " + fresh);
}

void Relay::run()
{
    writeStatus();
    say("passing packets between " + m_a.name() + " and " + m_b.name() + ", one-way delay "
        + std::to_string(m_delay.count()) + " µs");
    std::array<pollfd, 3> watched{
        {{m_signals, POLLIN, 0}, {m_a.descriptor(), POLLIN, 0}, {m_b.descriptor(), POLLIN, 0}}};
    bool stopping = false;
    for (;;) {
        const auto current = now();
        std::optional<std::chrono::nanoseconds> next;
        for (auto& direction : m_directions) {
            release(direction, current);
            if (!direction.queue.empty()) {
                const auto due = direction.queue.frontArrival() + m_delay;
                next = next ? std::min(*next, due) : due;
            }
        }
        if (stopping && !next)
            break;

        timespec timeout{};
        if (next) {
            const auto wait = std::max(*next - now(), std::chrono::nanoseconds(0));
            timeout.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
            timeout.tv_nsec = (wait - std::chrono::seconds(timeout.tv_sec)).count();
        }
        // Once stopping, the devices are no longer watched: only what is
        // held already goes on.
        const nfds_t count = stopping ? 1 : watched.size();
        if (::ppoll(watched.data(), count, next ? &timeout : nullptr, nullptr) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "ppoll");
        }
        if (watched[0].revents & POLLIN)
            stopping = handleSignals() || stopping;
        if (stopping)
            continue;
        for (std::size_t i = 0; i < m_directions.size(); ++i) {
            if (watched[i + 1].revents & (POLLIN | POLLERR | POLLHUP))
                take(m_directions[i]);
        }
    }
    writeStatus();
    const auto& ab = m_directions[0];
    const auto& ba = m_directions[1];
    say("ended: passed " + std::to_string(ab.passed) + " packets to " + m_b.name() + " and "
        + std::to_string(ba.passed) + " to " + m_a.name() + "; dropped "
        + std::to_string(ab.droppedFull + ba.droppedFull) + " for a full queue; "
        + std::to_string(ab.writeFailures + ba.writeFailures) + " refused by the kernel");
}

} // namespace relay
