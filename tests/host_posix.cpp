#include "host.h"

bool RunningUnderWine()
{
    return false;
}
