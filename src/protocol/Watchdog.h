#pragma once

#include <cstdint>
#include <functional>

namespace lvx {

constexpr int kWatchdogTicks = 250;
constexpr int kReceiveTickMs = 12;

// The link watchdog: a count of 12 ms receive ticks without a handled answer; at 250 (3 s) the
// connection is given up. Without a connection and in the loader mode the count stays at 0;
// while a transfer runs it keeps its value.
//
// The receive tick sleeps while nothing is awaited. Between sleep() and wake() the ticks are
// counted from the clock instead: settle() adds those that passed since it last looked, and
// msUntilExpiry() says when the count would reach its limit, so that one timer can be set for
// that moment. The clock is a parameter so that tests can step it.
class Watchdog {
public:
    using Clock = std::function<std::int64_t()>; // milliseconds, steadily rising

    explicit Watchdog(Clock clock) : clock_(std::move(clock)) {}

    // Called when the count reaches its limit (the count is 0 again by then).
    std::function<void()> onExpired;

    // Each change first settles the sleeping ticks under the conditions they slept under.
    void setConnected(bool on);
    void setLoaderMode(bool on);
    void setPaused(bool on);
    bool connected() const { return connected_; }
    bool loaderMode() const { return loader_; }
    bool paused() const { return paused_; }
    // Whether a tick adds to the count now.
    bool counting() const { return connected_ && !loader_ && !paused_; }

    // One receive tick.
    void tick() { step(1); }
    // A handled answer, or a flow that starts or ends: the count starts again.
    void reset();
    std::uint32_t count() const { return count_; }

    void sleep();
    void wake();
    bool asleep() const { return asleep_; }
    void settle();
    // While asleep and counting: milliseconds until the count reaches its limit (0 when due);
    // -1 otherwise.
    std::int64_t msUntilExpiry() const;

private:
    void step(std::int64_t ticks);

    Clock clock_;
    std::uint32_t count_ = 0;
    bool connected_ = false;
    bool loader_ = false;
    bool paused_ = false;
    bool asleep_ = false;
    std::int64_t asleepSince_ = 0;
    std::int64_t settledTicks_ = 0; // ticks of this sleep already counted
};

} // namespace lvx
