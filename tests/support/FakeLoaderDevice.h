#pragma once

#include "support/FakeByteLink.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lvx::test {

// A device in loader mode on an in-memory link: it answers ENTRANCE with its marker, keeps
// what FW_ADDR and FW_DATA write in a flash of 0xFF bytes, and answers FW_CHK with the sum
// of the 2048-byte page of the last block as "$CHK" and five digits. Its own sum is taken
// over the flash, independent of what the sender computed.
class FakeLoaderDevice {
public:
    struct Request {
        std::string name;
        std::vector<std::uint8_t> payload;
    };

    explicit FakeLoaderDevice(FakeByteLink& link, std::string marker = "$ISP091QX-AD200")
        : link_(link), marker_(std::move(marker)) {
        link_.onWrite = [this](const std::string& bytes) { take(bytes); };
    }

    // The answer to a FW_CHK: given the page index, the number of this check of the page
    // (from 1) and the right sum text, returns what goes into the link (nothing: silence).
    // By default the right answer at once.
    std::function<std::optional<std::string>(int page, int check, const std::string& sum)>
        checkAnswer;

    std::vector<Request> requests;
    std::vector<std::uint8_t> flash;
    bool ended = false;

    int count(const std::string& name) const {
        int n = 0;
        for (const Request& r : requests) {
            n += r.name == name ? 1 : 0;
        }
        return n;
    }
    // The request names in order, FW_ADDR given with its address in hex ("FW_ADDR 800").
    std::vector<std::string> sequence() const {
        std::vector<std::string> names;
        for (const Request& r : requests) {
            if (r.name == "FW_ADDR") {
                std::uint32_t address = 0;
                for (std::uint8_t b : r.payload) {
                    address = address << 8 | b;
                }
                char text[32];
                std::snprintf(text, sizeof text, "FW_ADDR %x", static_cast<unsigned>(address));
                names.push_back(text);
            } else {
                names.push_back(r.name);
            }
        }
        return names;
    }

private:
    static int Nibble(char c) { return c <= '9' ? c - '0' : (c & ~0x20) - 'A' + 10; }

    void take(const std::string& bytes) {
        pending_ += bytes;
        std::size_t end = 0;
        while ((end = pending_.find('\n')) != std::string::npos) {
            const std::string line = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            handle(line);
        }
    }

    void handle(const std::string& line) {
        if (line.find("$ENTRANCE") != std::string::npos) {
            link_.incoming += marker_ + "\r\n";
            return;
        }
        if (line.rfind("$SET ", 0) != 0) {
            requests.push_back({line, {}});
            return;
        }
        const std::size_t nameEnd = line.find(' ', 5);
        Request request{line.substr(5, nameEnd - 5), {}};
        const std::string hex = line.substr(nameEnd + 1, line.size() - nameEnd - 1 - 4 - 2);
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            request.payload.push_back(
                static_cast<std::uint8_t>(Nibble(hex[i]) << 4 | Nibble(hex[i + 1])));
        }
        requests.push_back(request);
        if (request.name == "FW_ADDR") {
            address_ = 0;
            for (std::uint8_t b : request.payload) {
                address_ = address_ << 8 | b;
            }
        } else if (request.name == "FW_DATA") {
            if (flash.size() < address_ + request.payload.size()) {
                flash.resize(address_ + request.payload.size(), 0xFF);
            }
            std::copy(request.payload.begin(), request.payload.end(), flash.begin() + address_);
            lastBlock_ = address_;
        } else if (request.name == "FW_CHK") {
            const int page = static_cast<int>(lastBlock_ / 2048);
            unsigned sum = 0;
            for (std::size_t i = 0; i < 2048; ++i) {
                const std::size_t at = static_cast<std::size_t>(page) * 2048 + i;
                sum += at < flash.size() ? flash[at] : 0xFFu;
            }
            char text[8];
            std::snprintf(text, sizeof text, "%05u", sum & 0xFFFF);
            const int check = ++checks_[page];
            const std::optional<std::string> answer =
                checkAnswer ? checkAnswer(page, check, text) : std::string(text);
            if (answer) {
                link_.incoming += "$CHK" + *answer + "\r\n";
            }
        } else if (request.name == "FW_END") {
            ended = true;
        }
    }

    FakeByteLink& link_;
    std::string marker_;
    std::string pending_;
    std::uint32_t address_ = 0;
    std::uint32_t lastBlock_ = 0;
    std::map<int, int> checks_;
};

} // namespace lvx::test
