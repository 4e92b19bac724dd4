// Keeps the window answering while a handler runs on its thread.
//
// A handler runs its whole job before it returns to the message loop. At the
// platform's heartbeat (src/platform/win32/win32_heartbeat.h) the view calls
// answerPending(): the messages other threads and programs send (the system's
// "are you alive" probes among them) are delivered, and every window that
// needs painting is painted, so the log can be seen growing and Windows never
// marks the window "Not Responding". Input and posted messages stay in the
// queue: a click or key pressed during the run is handled by the message loop
// after the run has returned, in the order it came.
#pragma once

namespace vx::view {

void answerPending();

}  // namespace vx::view
