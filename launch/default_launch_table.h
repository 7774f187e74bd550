#pragma once

#include <string>
#include <vector>

// The 26 lines the launch table holds until the form storage restores a saved table.
const std::vector<std::string>& DefaultLaunchTable();
