// The platform's heartbeat: the long operations of the file system (each
// entry a search yields, each block read or written, each entry deleted) call
// heartbeat() as they go. At most once every kHeartbeatIntervalMs it runs the
// hook the program set, which lets the window show the log and answer the
// system while a handler is still running on the window's thread.
#pragma once

#include <functional>

namespace vx::win32 {

inline constexpr unsigned kHeartbeatIntervalMs = 50;

// Replaces the hook; an empty one turns the heartbeat off.
void setHeartbeat(std::function<void()> hook);

// Runs the hook when kHeartbeatIntervalMs have passed since it last ran.
// A heartbeat raised while the hook runs is ignored.
void heartbeat();

}  // namespace vx::win32
