// The desktop application.

#include <QApplication>
#include <QFont>

#include "window/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvandel");
    // Dialogs and message boxes speak Japanese too.
    QFont font("IPAGothic");
    font.setPointSizeF(9);
    QApplication::setFont(font);
    orv::window::MainWindow window(orv::core::ProgramFolders::forExecutable());
    window.show();
    return QApplication::exec();
}
