#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lvx {

// A byte pipe to one device: what the command protocol needs from a serial port.
// Reads never wait; writes are handed to the port at once.
class ByteLink {
public:
    virtual ~ByteLink() = default;

    virtual bool isOpen() const = 0;
    // Bytes waiting in the input queue (clears a pending line error).
    virtual std::int64_t bytesWaiting() = 0;
    // Reads at most count bytes of what is waiting.
    virtual std::string read(std::size_t count) = 0;
    virtual void write(std::string_view bytes) = 0;
    // Drops everything waiting in the input queue.
    virtual void purgeReceive() = 0;
    virtual void close() = 0;

    // Called once when the far end goes away (the link closes itself first).
    std::function<void()> onLost;
    // Called when new bytes are waiting (links that can tell; others are only polled).
    std::function<void()> onArrival;
};

} // namespace lvx
