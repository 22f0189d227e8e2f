// realshare_relay [--queue-mib N] CONTROL STATUS NETNS_A TUN_A NETNS_B TUN_B
//
// Adds a delay to the link between two network namespaces, where the kernel
// has no netem: makes TUN device TUN_A in NETNS_A and TUN_B in NETNS_B (files
// such as /run/netns/NAME) and passes each packet from one to the other after
// the one-way delay CONTROL holds (whole microseconds). SIGHUP reads CONTROL
// again; SIGUSR1 refreshes STATUS; SIGTERM or SIGINT ends it once the packets
// it holds are passed on. Routing traffic onto the devices is the caller's
// business (tests/realshare/share.sh).

#include "Relay.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kDefaultQueueMib = 32;

[[noreturn]] void usage(const std::string& problem)
{
    std::cerr << "realshare_relay: " << problem << "\n"
              << "usage: realshare_relay [--queue-mib N] CONTROL STATUS NETNS_A TUN_A NETNS_B TUN_B\n";
    std::exit(2);
}

relay::Settings parse(const std::vector<std::string>& args)
{
    relay::Settings settings;
    std::size_t queueMib = kDefaultQueueMib;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--queue-mib") {
            if (++i == args.size())
                usage("--queue-mib needs a number");
            const std::string& value = args[i];
            if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos
                || std::stoul(value) == 0)
                usage("--queue-mib takes 1 to 99999 (MiB per direction), not '" + value + "'");
            queueMib = std::stoul(value);
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 6)
        usage("expected 6 arguments, got " + std::to_string(positional.size()));
    settings.controlFile = positional[0];
    settings.statusFile = positional[1];
    settings.netnsA = positional[2];
    settings.tunA = positional[3];
    settings.netnsB = positional[4];
    settings.tunB = positional[5];
    settings.queueBytes = queueMib << 20;
    return settings;
}

} // namespace

int main(int argc, char* argv[])
{
    const relay::Settings settings = parse(std::vector<std::string>(argv + 1, argv + argc));
    // Blocked before anything is made: a SIGTERM while the devices are being
    // made waits for the loop and ends the relay cleanly there.
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    try {
        relay::Relay relay(settings);
        relay.run();
    } catch (const std::exception& e) {
        std::cerr << "realshare_relay: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
