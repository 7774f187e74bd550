// The baseline of the start-up benchmark: a plain Qt Widgets program that shows one top-level window
// of the panel's client size and background colour at the panel's position, and runs the loop until
// the window is closed.
#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(240, 251, 255));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setGeometry(326, 279, 600, 303);
    window.show();
    return app.exec();
}
