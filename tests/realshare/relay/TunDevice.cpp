#include "TunDevice.h"

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace relay {

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Runs in the namespace of netnsPath and comes back to this one, even when
// the work throws: everything after must happen where the process started.
template <typename Work>
int inNamespace(const std::string& netnsPath, Work work)
{
    const Descriptor home(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
    if (home.get() < 0)
        fail("cannot open this process's network namespace");
    const Descriptor target(::open(netnsPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (target.get() < 0)
        fail("cannot open network namespace " + netnsPath);
    if (::setns(target.get(), CLONE_NEWNET) != 0)
        fail("cannot enter network namespace " + netnsPath);
    int fd = -1;
    try {
        fd = work();
    } catch (...) {
        ::setns(home.get(), CLONE_NEWNET);
        throw;
    }
    Descriptor made(fd);
    if (::setns(home.get(), CLONE_NEWNET) != 0)
        fail("cannot return from network namespace " + netnsPath);
    return made.release();
}

} // namespace

TunDevice::TunDevice(const std::string& netnsPath, const std::string& name)
    : m_name(name)
{
    if (name.empty() || name.size() >= IFNAMSIZ)
        throw std::invalid_argument("bad TUN device name '" + name + "' (1 to 15 characters)");
    const std::string where = "TUN device " + name + " in " + netnsPath;
    m_fd = inNamespace(netnsPath, [&] {
        // Opened in the namespace: the device is made in the one the
        // descriptor was opened in.
        Descriptor tun(::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (tun.get() < 0)
            fail("cannot open /dev/net/tun for " + where);
        ifreq request{};
        std::memcpy(request.ifr_name, name.c_str(), name.size());
        request.ifr_flags = IFF_TUN | IFF_NO_PI | IFF_VNET_HDR;
        if (::ioctl(tun.get(), TUNSETIFF, &request) != 0)
            fail("cannot make " + where);
        const unsigned offloads = TUN_F_CSUM | TUN_F_TSO4 | TUN_F_TSO6 | TUN_F_TSO_ECN;
        if (::ioctl(tun.get(), TUNSETOFFLOAD, offloads) != 0)
            fail("cannot turn on segmentation offload for " + where);
        return tun.release();
    });
}

TunDevice::~TunDevice()
{
    ::close(m_fd);
}

std::size_t TunDevice::read(std::span<std::byte> buffer)
{
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno == EAGAIN)
            return 0;
        if (errno != EINTR)
            fail("cannot read from TUN device " + m_name);
    }
}

bool TunDevice::write(std::span<const std::byte> packet)
{
    for (;;) {
        if (::write(m_fd, packet.data(), packet.size()) >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace relay
