#pragma once

#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "support/FakeByteLink.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lvx::test {

// An answer line as a device sends it: the body, its CRC and a line feed.
inline std::string DeviceAnswer(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

// A device on an in-memory link: it reads the request lines the protocol writes and puts its
// answers into the link's input at once, as a device does that answers within one tick. The
// test may step in before an answer (onRequest) to act at that very moment.
class FakeSerialDevice {
public:
    explicit FakeSerialDevice(FakeByteLink& link) : link_(link) {
        link_.onWrite = [this](const std::string& bytes) { take(bytes); };
    }

    // Descriptor fields 1 to 12.
    std::vector<std::string> descriptor{"V1", "P1", "M1", "D1", "x", "1.0",
                                        "T",  "2",  "1",  "4",  "8", "0"};
    // Node descriptor fields 1 to 8 (input 1: mode select and mode poll on).
    std::vector<std::string> inputNode{"1", "0", "0", "T", "T", "F", "T", "F"};
    std::vector<std::string> outputNode{"1", "0", "0", "T", "F", "F", "F", "F"};
    bool accepts = true;
    std::string ispMarker; // "$ISP029..." instead of "$ACCEPT" when set
    // EDID images by node selector; a node without one answers 0x10 + its selector's low byte.
    std::map<std::uint32_t, std::array<std::uint8_t, 256>> edids;

    // Every request line, in order ("$GET SYS_DSCPT FFFF\r\n", " \r" for a wake-up).
    std::vector<std::string> requests;
    // Called with the command name of each request before it is answered; returning false
    // keeps the answer back.
    std::function<bool(const std::string& name, const std::string& line)> onRequest;
    // Replaces the answer body of a command (the CRC is still made right unless badCrc).
    std::map<std::string, std::string> bodyOverride;
    // Commands whose answers carry a wrong CRC, as many times as given.
    std::map<std::string, int> badCrc;

    std::uint32_t selector() const { return selector_; }
    int count(const std::string& name) const {
        int n = 0;
        for (const std::string& line : requests) {
            n += NameOf(line) == name ? 1 : 0;
        }
        return n;
    }

    static std::string NameOf(const std::string& line) {
        if (line == " \r") {
            return "WAKE";
        }
        std::size_t start = line.find('$');
        if (start == std::string::npos) {
            return {};
        }
        ++start;
        if (line.compare(start, 4, "GET ") == 0 || line.compare(start, 4, "SET ") == 0) {
            start += 4;
        }
        const std::size_t end = line.find(' ', start);
        return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }

private:
    void take(const std::string& bytes) {
        if (bytes == " \r") {
            requests.push_back(bytes);
            if (onRequest) {
                onRequest("WAKE", bytes);
            }
            return;
        }
        pending_ += bytes;
        std::size_t end = 0;
        while ((end = pending_.find('\n')) != std::string::npos) {
            const std::string line = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            requests.push_back(line);
            handle(line);
        }
    }

    static std::string Fields(const std::vector<std::string>& fields) {
        std::string body;
        for (const std::string& f : fields) {
            body += f + '\x0C';
        }
        return body;
    }

    std::array<std::uint8_t, 256> edidOf(std::uint32_t selector) const {
        const auto it = edids.find(selector);
        if (it != edids.end()) {
            return it->second;
        }
        std::array<std::uint8_t, 256> image{};
        image.fill(static_cast<std::uint8_t>(0x10 + (selector & 0xFF)));
        return image;
    }

    void answer(const std::string& name, std::string body) {
        const auto over = bodyOverride.find(name);
        if (over != bodyOverride.end()) {
            body = over->second;
        }
        std::string line = DeviceAnswer(body);
        auto bad = badCrc.find(name);
        if (bad != badCrc.end() && bad->second > 0) {
            --bad->second;
            line[line.size() - 2] = line[line.size() - 2] == '0' ? '1' : '0';
        }
        link_.incoming += line;
    }

    void handle(const std::string& line) {
        const std::string name = NameOf(line);
        if (onRequest && !onRequest(name, line)) {
            return;
        }
        const bool set = line.find("$SET ") != std::string::npos;
        if (name == "ENTRANCE") {
            if (!ispMarker.empty()) {
                link_.incoming += ispMarker + "\r\n";
            } else if (accepts) {
                link_.incoming += "$ACCEPT\r\n";
            }
            return;
        }
        if (name == "SYS_DSCPT") {
            answer(name, Fields(descriptor));
        } else if (name == "ND_SEL" && set) {
            const std::size_t blank = line.rfind(' ');
            selector_ =
                static_cast<std::uint32_t>(std::stoul(line.substr(blank + 1, 4), nullptr, 16));
            answer(name, "OK");
        } else if (name == "ND_DSCPT") {
            answer(name, Fields((selector_ >> 12) == 1 ? outputNode : inputNode));
        } else if (name.rfind("ND_ED", 0) == 0 && !set) {
            const std::size_t block =
                static_cast<std::size_t>((name[5] - '0') * 2 + (name[6] - 'A'));
            const std::array<std::uint8_t, 256> image = edidOf(selector_);
            std::string hex;
            for (std::size_t i = 0; i < 64; ++i) {
                hex += ByteToHex(image[block * 64 + i]);
            }
            answer(name, hex);
        } else if (name == "RXEDMD" && !set) {
            answer(name, "00\x0C");
        } else {
            answer(name, "OK");
        }
    }

    FakeByteLink& link_;
    std::string pending_;
    std::uint32_t selector_ = 0;
};

} // namespace lvx::test
