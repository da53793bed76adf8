// KarvoGui: a reverse-Polish calculator for integers of any size.
#include <QApplication>

#include "MainController.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("KarvoGui");
    MainController window;
    window.show();
    return QApplication::exec();
}
