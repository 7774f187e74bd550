#include "platform/memory.h"

namespace platform {

// The Windows heap gives large freed blocks back by itself. The C runtime's _heapmin() would walk the
// whole heap at a moment that may be a logoff, with the system waiting for the process to end.
void ReturnFreedMemory() {}

} // namespace platform
