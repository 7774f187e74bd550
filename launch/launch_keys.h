#pragma once

#include <array>

// The fixed launch key that each launching action of the main window passes to the launcher, in
// the order of the actions' table.
struct LaunchKey
{
    const char* action; // the action's name, e.g. "DeleteWa"
    const char* key;    // the launch key it passes, e.g. "Delwa"
};

const std::array<LaunchKey, 26>& LaunchKeys();

// The launch key of an action, or nullptr when the action does not launch.
const char* LaunchKeyOf(const char* action);
