#include "platform/display.h"

namespace platform {

bool ChooseWindowSystem(std::string& toolkitPlatform)
{
    toolkitPlatform.clear();
    return true;
}

void ReleaseDisplayProbe() {}

} // namespace platform
