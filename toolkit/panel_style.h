#pragma once

#include <initializer_list>

class QString;
class QStyle;

// The panel's look over the system's style named `base`: tooltips 500 ms after the pointer rests on a
// control, group boxes with an etched frame. The application object takes the style.
QStyle* NewPanelStyle(const QString& base);

// The first of `faces` that this machine has as an outline face, empty when it has none: a font that
// names a missing face makes the font lookup search all faces for a substitute, often of another kind.
QString InstalledOutlineFace(std::initializer_list<const char*> faces);
