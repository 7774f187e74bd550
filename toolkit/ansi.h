#pragma once

#include <QString>

#include <string>

// The one conversion pair between the program's 8-bit Windows-1252 text and Qt's strings.
QString toQString(const std::string& ansi);
std::string toAnsi(const QString& text);
