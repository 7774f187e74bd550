// The baseline of the start-up benchmark: a plain Qt Widgets program that shows one top-level window
// of the panel's client size and background colour at the panel's position, and runs the loop until
// the window is closed. Started under a name that ends in "_text", it also shows one line of text, so
// that the cost every program with text pays (the font set-up) is in the baseline too.
#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QString>
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
    if (QString::fromLocal8Bit(argv[0]).endsWith(QStringLiteral("_text"))) {
        auto* label = new QLabel(QStringLiteral("Hauptmen\u00FC"), &window);
        label->move(8, 4);
    }
    window.show();
    return app.exec();
}
