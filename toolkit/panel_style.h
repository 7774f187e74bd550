#pragma once

class QString;
class QStyle;

// The panel's look over the system's style named `base`: tooltips 500 ms after the pointer rests on a
// control, group boxes with an etched frame. The application object takes the style.
QStyle* NewPanelStyle(const QString& base);
