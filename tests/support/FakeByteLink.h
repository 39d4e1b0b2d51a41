#pragma once

#include "protocol/ByteLink.h"

#include <functional>
#include <string>
#include <vector>

namespace lvx::test {

// An in-memory byte link: what the protocol writes is recorded (piece by piece), and the
// test decides what the device sends back and when.
class FakeByteLink : public ByteLink {
public:
    bool isOpen() const override { return open_; }
    std::int64_t bytesWaiting() override { return static_cast<std::int64_t>(incoming.size()); }
    std::string read(std::size_t count) override {
        const std::string bytes = incoming.substr(0, count);
        incoming.erase(0, bytes.size());
        return bytes;
    }
    void write(std::string_view bytes) override {
        writes.emplace_back(bytes);
        if (onWrite) {
            onWrite(std::string(bytes));
        }
    }
    void purgeReceive() override {
        ++purges;
        incoming.clear();
    }
    void close() override { open_ = false; }
    void reopen() { open_ = true; }

    // The far end goes away.
    void vanish() {
        open_ = false;
        if (onLost) {
            onLost();
        }
    }

    std::string written() const {
        std::string all;
        for (const std::string& w : writes) {
            all += w;
        }
        return all;
    }

    std::string incoming;            // bytes the device has sent, waiting to be read
    std::vector<std::string> writes; // every write, in order
    int purges = 0;
    std::function<void(const std::string&)> onWrite;

private:
    bool open_ = true;
};

} // namespace lvx::test
