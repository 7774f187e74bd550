#include "platform/fonts.h"

#ifdef VENTIRO_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace platform {

FontPreload::FontPreload()
{
#ifdef VENTIRO_HAVE_FONTCONFIG
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (...) {
        // Without a thread the toolkit reads the configuration itself, later.
    }
#endif
}

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
