#pragma once

#include <array>

// The fixed launch key that each launching action of the main window passes to the launcher. The
// keys are passed exactly as written; several differ in case from the names of the default table.
struct LaunchKey
{
    const char* action;
    const char* key;
};

const std::array<LaunchKey, 26>& LaunchKeys();
