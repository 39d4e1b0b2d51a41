#pragma once

namespace lvx {

// Waits about n milliseconds while the event loop keeps running: timers, the serial
// receive tick, the response handler and UDP datagrams are all handled during the wait.
// Must be called on the thread that owns the event loop (the main thread).
void PumpDelay(int n);

} // namespace lvx
