// One contract for every byte link the protocol runs on: the serial port on a pseudo
// terminal and the in-memory link the protocol tests use.
#include "links/SerialLink.h"
#include "support/FakeByteLink.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

using namespace lvx;

namespace {

// The far end of a link, as a test drives it.
class Peer {
public:
    virtual ~Peer() = default;
    virtual ByteLink& link() = 0;
    virtual void send(const std::string& bytes) = 0;
    virtual std::string received() = 0;
    virtual void vanish() = 0;
    // Lets the link see what was sent (a real port needs the event loop).
    virtual void settle() {}
};

class FakePeer : public Peer {
public:
    ByteLink& link() override { return link_; }
    void send(const std::string& bytes) override { link_.incoming += bytes; }
    std::string received() override {
        std::string all = link_.written();
        link_.writes.clear();
        return all;
    }
    void vanish() override { link_.vanish(); }

private:
    test::FakeByteLink link_;
};

class PtyPeer : public Peer {
public:
    PtyPeer() {
        test::EnsureApplication();
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            termios raw{};
            tcgetattr(slave_, &raw);
            cfmakeraw(&raw);
            tcsetattr(slave_, TCSANOW, &raw);
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
            opened_ = link_.open(QString::fromLocal8Bit(name), log_);
        }
    }
    ~PtyPeer() override {
        link_.close();
        if (master_ >= 0) {
            ::close(master_);
        }
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    bool opened() const { return opened_; }
    ByteLink& link() override { return link_; }
    void send(const std::string& bytes) override {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string received() override {
        settle();
        std::string all;
        char chunk[4096];
        ssize_t n = 0;
        while ((n = ::read(master_, chunk, sizeof(chunk))) > 0) {
            all.append(chunk, static_cast<std::size_t>(n));
        }
        return all;
    }
    void vanish() override {
        ::close(master_);
        master_ = -1;
        ::close(slave_);
        slave_ = -1;
    }
    void settle() override { PumpDelay(30); }

private:
    int master_ = -1;
    int slave_ = -1;
    bool opened_ = false;
    DebugLog log_;
    SerialLink link_;
};

template <typename T>
class ByteLinkContract : public ::testing::Test {
protected:
    void SetUp() override {
        if constexpr (std::is_same_v<T, PtyPeer>) {
            if (!peer.opened()) {
                GTEST_SKIP() << "no pseudo terminal could be opened";
            }
        }
    }
    T peer;
};

using Peers = ::testing::Types<FakePeer, PtyPeer>;
TYPED_TEST_SUITE(ByteLinkContract, Peers);

} // namespace

TYPED_TEST(ByteLinkContract, WritesReachTheFarEndInOrder) {
    ByteLink& link = this->peer.link();
    ASSERT_TRUE(link.isOpen());
    link.write("$GET ");
    link.write("SYS_DSCPT ");
    link.write("FFFF\r\n");
    EXPECT_EQ(this->peer.received(), "$GET SYS_DSCPT FFFF\r\n");
}

TYPED_TEST(ByteLinkContract, ReadsExactlyWhatIsWaitingWithoutWaiting) {
    ByteLink& link = this->peer.link();
    EXPECT_EQ(link.bytesWaiting(), 0);
    EXPECT_EQ(link.read(16), "");
    this->peer.send("hello\n");
    this->peer.settle();
    ASSERT_EQ(link.bytesWaiting(), 6);
    EXPECT_EQ(link.read(2), "he");
    EXPECT_EQ(link.read(100), "llo\n");
    EXPECT_EQ(link.bytesWaiting(), 0);
}

TYPED_TEST(ByteLinkContract, PurgeDropsWhatIsWaiting) {
    ByteLink& link = this->peer.link();
    this->peer.send(std::string(2000, 'x'));
    this->peer.settle();
    EXPECT_GT(link.bytesWaiting(), 1024);
    link.purgeReceive();
    EXPECT_EQ(link.bytesWaiting(), 0);
    this->peer.send("ok\n");
    this->peer.settle();
    EXPECT_EQ(link.read(10), "ok\n");
}

TYPED_TEST(ByteLinkContract, ClosedLinkDoesNothing) {
    ByteLink& link = this->peer.link();
    link.close();
    EXPECT_FALSE(link.isOpen());
    link.write("ignored");
    EXPECT_EQ(link.bytesWaiting(), 0);
    EXPECT_EQ(link.read(10), "");
    link.purgeReceive();
    link.close();
}

TYPED_TEST(ByteLinkContract, VanishingFarEndClosesTheLinkAndReportsOnce) {
    ByteLink& link = this->peer.link();
    int lost = 0;
    link.onLost = [&] { ++lost; };
    this->peer.vanish();
    this->peer.settle();
    this->peer.settle();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(lost, 1);
    link.onLost = nullptr;
}
