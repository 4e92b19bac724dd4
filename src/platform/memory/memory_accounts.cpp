// Accounts of the simulated machine.
#include "platform/memory/memory_impl.h"

namespace vx::memory {

bool MemoryShell::separatesAccounts() { return true; }

}  // namespace vx::memory
