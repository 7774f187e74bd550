#pragma once

#include <string>
#include <vector>

// The lines the launch table holds, the designed command of each launching button in the buttons'
// order (launch/panel_buttons.h), until the form storage restores a saved table.
const std::vector<std::string>& DefaultLaunchTable();
