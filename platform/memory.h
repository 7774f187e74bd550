#pragma once

namespace platform {

// Gives the memory that the process freed back to the system, where the allocator keeps it
// otherwise: after a long table was read or written, the panel runs on for the rest of the day.
void ReturnFreedMemory();

} // namespace platform
