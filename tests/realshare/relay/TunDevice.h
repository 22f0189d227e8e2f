#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace relay {

// A TUN device made in a network namespace given by its file (such as
// /run/netns/NAME) while this process stays where it is: the device belongs
// to the namespace the descriptor was opened in. It goes away with the
// descriptor, so a relay that dies takes its devices, and the routes through
// them, along.
//
// Packets carry a virtio-net header, and the kernel may hand over TCP
// segments of up to 64 KiB with their checksum left to do: passed unchanged
// to the other device, they are finished there, so the relay handles one
// packet where the wire would carry forty.
class TunDevice {
public:
    // Throws std::system_error naming the device and the namespace.
    TunDevice(const std::string& netnsPath, const std::string& name);
    TunDevice(const TunDevice&) = delete;
    TunDevice& operator=(const TunDevice&) = delete;
    ~TunDevice();

    const std::string& name() const { return m_name; }
    int descriptor() const { return m_fd; }

    // The size of the next packet, 0 when none is waiting. Throws on any
    // other failure.
    std::size_t read(std::span<std::byte> buffer);
    // False when the kernel refused the packet (the device is down, for one).
    bool write(std::span<const std::byte> packet);

private:
    std::string m_name;
    int m_fd = -1;
};

// The most a read can return: the header and a 64 KiB segment.
inline constexpr std::size_t kMaxPacket = 10 + 65536 + 1024;

} // namespace relay
