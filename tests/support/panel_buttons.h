#pragma once

#include <QPoint>

#include <map>
#include <string>

// Builds the designed main window in this process, with the fonts that it finds, and puts the
// centre of each action's button (relative to the window's client area) into `centres`: the
// end-to-end tests aim their clicks at these points. `unusedIni` is where the window's storage
// would keep its file; nothing is written there. Makes and ends its own application object.
void MeasureButtonCentres(const char* programName, const std::string& unusedIni,
                          std::map<std::string, QPoint>& centres);
