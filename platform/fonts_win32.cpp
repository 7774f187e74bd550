#include "platform/fonts.h"

namespace platform {

// The system keeps its fonts ready for every program; there is nothing to read in advance.
FontPreload::FontPreload() = default;

FontPreload::~FontPreload()
{
    Wait();
}

void FontPreload::Wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace platform
