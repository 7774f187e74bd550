#include <QApplication>
#include <QLabel>

// Until the panel's windows exist, the program shows what is built so far.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label("Ventiro: the launch core is being built; no buttons yet.");
    label.setMargin(24);
    label.show();
    return app.exec();
}
