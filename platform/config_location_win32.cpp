#include "platform/config_location.h"

namespace platform {

std::string ConfigFileLocation(const std::string& programFolder, const std::string& name)
{
    return programFolder + name;
}

} // namespace platform
