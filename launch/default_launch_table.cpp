#include "launch/default_launch_table.h"

#include "launch/panel_buttons.h"

const std::vector<std::string>& DefaultLaunchTable()
{
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> designed;
        for (const PanelButton& button : PanelButtons()) {
            if (button.command != nullptr)
                designed.emplace_back(button.command);
        }
        return designed;
    }();
    return lines;
}
