// KarvoGui: a reverse-Polish calculator for integers of any size.
#include <QApplication>
#include <QIcon>

#include "MainController.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // These name the data folder and the settings file.
    QApplication::setOrganizationName("Karvo");
    QApplication::setApplicationName("KarvoGui");
    QApplication::setApplicationVersion(KARVO_VERSION);
    // The menu entry's name, so that desktops match the window to it.
    QGuiApplication::setDesktopFileName("karvo-calculator");
    QApplication::setWindowIcon(QIcon(":/karvo/icon.png"));
    MainController window;
    window.show();
    return QApplication::exec();
}
