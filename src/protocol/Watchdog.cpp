#include "protocol/Watchdog.h"

#include <algorithm>

namespace lvx {

void Watchdog::setConnected(bool on) {
    settle();
    connected_ = on;
}

void Watchdog::setLoaderMode(bool on) {
    settle();
    loader_ = on;
}

void Watchdog::setPaused(bool on) {
    settle();
    paused_ = on;
}

void Watchdog::reset() {
    settle();
    count_ = 0;
}

void Watchdog::step(std::int64_t ticks) {
    if (loader_ || !connected_) {
        count_ = 0;
        return;
    }
    if (paused_) {
        return;
    }
    const std::int64_t reached = static_cast<std::int64_t>(count_) + ticks;
    if (reached >= kWatchdogTicks) {
        count_ = 0;
        if (onExpired) {
            onExpired();
        }
        return;
    }
    count_ = static_cast<std::uint32_t>(reached);
}

void Watchdog::sleep() {
    asleep_ = true;
    asleepSince_ = clock_();
    settledTicks_ = 0;
}

void Watchdog::wake() {
    settle();
    asleep_ = false;
}

void Watchdog::settle() {
    if (!asleep_) {
        return;
    }
    const std::int64_t ticks = (clock_() - asleepSince_) / kReceiveTickMs;
    const std::int64_t fresh = ticks - settledTicks_;
    settledTicks_ = ticks;
    if (fresh > 0) {
        step(fresh); // the steps the sleeping tick would have made, all at once
    }
}

std::int64_t Watchdog::msUntilExpiry() const {
    if (!asleep_ || !counting()) {
        return -1;
    }
    const std::int64_t left = kWatchdogTicks - static_cast<std::int64_t>(count_);
    const std::int64_t due = (settledTicks_ + left) * kReceiveTickMs - (clock_() - asleepSince_);
    return std::max<std::int64_t>(due, 0);
}

} // namespace lvx
