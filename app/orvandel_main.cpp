// The desktop application: `orvandel [PICTURE]`.

#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "window/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    orv::window::useApplicationLook();
    orv::window::MainWindow window(orv::core::ProgramFolders::forExecutable());
    window.show();
    // "orvandel FILE" (a file manager's "open with" too) loads the picture as ファイル does,
    // once the window is on the screen.
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const QString file = args.at(1);
        QTimer::singleShot(0, &window, [&window, file] { window.openPicture(file); });
    }
    return QApplication::exec();
}
