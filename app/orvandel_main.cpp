// The desktop application.

#include <QApplication>

#include "ui/qt/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orvandel");
    orv::qt::MainWindow window(orv::core::ProgramFolders::forExecutable());
    window.show();
    return QApplication::exec();
}
