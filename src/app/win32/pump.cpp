#include "pump.h"

#include <windows.h>

namespace vx::view {

namespace {

// A window that leaves its update region unvalidated would be offered again
// and again; the paints of one call are bounded.
constexpr int kMostPaints = 64;

}  // namespace

void answerPending() {
    MSG msg;
    // Sent messages are delivered inside PeekMessage itself; nothing is taken
    // from the queue.
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    for (int i = 0; i < kMostPaints && ::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE | PM_QS_PAINT); ++i)
        ::DispatchMessageW(&msg);
}

}  // namespace vx::view
