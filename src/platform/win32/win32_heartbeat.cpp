#include "platform/win32/win32_heartbeat.h"

#include <windows.h>

#include <utility>

namespace vx::win32 {

namespace {

// The program has one window thread, and the hook belongs to it; the tick of
// the last beat is read and written on that thread only.
std::function<void()>& hook() {
    static std::function<void()> h;
    return h;
}
DWORD lastBeat = 0;
bool beating = false;

}  // namespace

void setHeartbeat(std::function<void()> h) {
    hook() = std::move(h);
    lastBeat = ::GetTickCount();
}

void heartbeat() {
    if (beating || !hook()) return;
    // Unsigned difference: correct across the tick counter's wrap.
    const DWORD now = ::GetTickCount();
    if (now - lastBeat < kHeartbeatIntervalMs) return;
    struct Beat {
        Beat() { beating = true; }
        ~Beat() {
            beating = false;
            lastBeat = ::GetTickCount();
        }
    } beat;
    hook()();
}

}  // namespace vx::win32
