// The real division window on the offscreen platform: opened from the main window, a picture
// loaded through the file dialog, the tiles stepped with the arrow keys, the tile loaded into
// the main window with "分割画像単独入力", and every tile saved.

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "bench/bmp_writer.h"
#include "window/big_pic_window.h"
#include "window/main_window.h"

using orv::window::BigPicWindow;
using orv::window::MainWindow;

namespace {

// Answers the modal windows that appear while it lives: a file dialog with `file`, a message
// box with OK (its text is kept).
class Answerer {
public:
    explicit Answerer(QString file) : file_(std::move(file)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                dialog->selectFile(file_);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        poll_.start(10);
    }
    QStringList messages;

private:
    QString file_;
    QTimer poll_;
};

template <typename T = QWidget>
T* child(QWidget* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromUtf8(name));
    if (!found) qFatal("no widget %s", name);
    return found;
}

}  // namespace

class BigPicWindowTest : public QObject {
    Q_OBJECT

private slots:
    void opensLoadsStepsAndHandsTheTileToTheMainWindow();
};

void BigPicWindowTest::opensLoadsStepsAndHandsTheTileToTheMainWindow() {
    QTemporaryDir dir;
    const QString picture = dir.filePath("m42.bmp");
    std::vector<uint8_t> rgb(1200 * 1000 * 3);
    for (size_t k = 0; k < rgb.size(); ++k) rgb[k] = static_cast<uint8_t>(k / 3 % 1200 / 5);
    QVERIFY(orv::bench::writeBmp(picture.toStdString(), 1200, 1000, rgb).ok());

    MainWindow main(orv::core::ProgramFolders::at(dir.path().toStdString()));
    main.workspace().settings.WorkPath = dir.path().toStdString();
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QVERIFY(!main.bigPicWindow());

    QTest::mouseClick(child(&main, "cmdShowBigPic"), Qt::LeftButton);
    BigPicWindow* big = main.bigPicWindow();
    QVERIFY(big);
    QVERIFY(big->isVisible());
    QCOMPARE(big->pos(), QPoint(400, 100));
    QCOMPARE(big->windowTitle(), QString("BigPic"));
    QCOMPARE(child<QPushButton>(big, "cmdBigPic(0)")->toolTip(),
             QString("分割する前の画像ファイルを指定します。"));
    QVERIFY(!child(big, "cmdSaveAllFile")->isEnabled());
    QVERIFY(QTest::qWaitForWindowActive(big));

    {
        Answerer answer(picture);
        QTest::mouseClick(child(big, "cmdBigPic(0)"), Qt::LeftButton);
        QVERIFY(answer.messages.isEmpty());
    }
    QCOMPARE(big->windowTitle(), QString("BigPic m42.bmp"));
    QCOMPARE(child<QLabel>(big, "lblDivNo")->text(), QString("2 x 1"));
    QCOMPARE(child<QLabel>(big, "lblImageSize2")->text(), QString("1200 x 1000"));
    QVERIFY(child(big, "cmdSaveAllFile")->isEnabled());
    QCOMPARE(big->tile()->size(), QSize(600, 600));
    QCOMPARE(big->preview()->size(), QSize(420, 350));

    // The arrow keys move the tile wherever the focus is, except in a text box.
    big->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(big));
    QTest::keyClick(big, Qt::Key_Right);
    QCOMPARE(child<QLabel>(big, "lblDivX")->text(), QString("1"));
    QCOMPARE(child<QLabel>(big, "lblDivArea")->text(), QString("(0550,0050)-(1100,0600)"));
    QTest::keyClick(big, Qt::Key_Right);  // the next tile would not fit
    QCOMPARE(child<QLabel>(big, "lblDivX")->text(), QString("1"));
    auto* size = child<QLineEdit>(big, "txtDivSize");
    size->setFocus();
    QTest::keyClick(size, Qt::Key_Left);
    QCOMPARE(child<QLabel>(big, "lblDivX")->text(), QString("1"));
    child(big, "cmdDiv(4)")->setFocus();
    QTest::keyClick(child(big, "cmdDiv(4)"), Qt::Key_Left);
    QCOMPARE(child<QLabel>(big, "lblDivX")->text(), QString("0"));
    QTest::keyClick(big, Qt::Key_Right);
    QCOMPARE(child<QLabel>(big, "lblDivId")->text(), QString("m42.bmp.001.000"));

    // Typing a size counts the tiles again.
    size->selectAll();
    QTest::keyClicks(size, "400");
    QCOMPARE(child<QLabel>(big, "lblDivNo")->text(), QString("2 x 2"));
    size->selectAll();
    QTest::keyClicks(size, "500");

    // A click on the tile moves the output folder to WorkPath.
    main.bigPicForm().dirBach.Path = "/elsewhere";
    QTest::mouseClick(big->tile(), Qt::LeftButton);
    QCOMPARE(child<QLabel>(big, "dirBach")->text(), dir.path());

    // "分割画像単独入力" in the main window loads the tile shown.
    QTest::mouseClick(child(&main, "cmdDataIn(2)"), Qt::LeftButton);
    QCOMPARE(main.workspace().ImageWidthP, 600);
    QCOMPARE(child<QLabel>(&main, "lblDivId")->text(), QString("m42.bmp.001.000"));
    QCOMPARE(main.workspace().DoFilePath, dir.filePath("m42.bmp.dir").toStdString());

    // Every tile, with the messages of the save.
    {
        Answerer answer(picture);
        QTest::mouseClick(child(big, "cmdSaveAllFile"), Qt::LeftButton);
        QCOMPARE(answer.messages.size(), 1);
        QCOMPARE(answer.messages[0],
                 dir.filePath("m42.bmp.dir") +
                     " に、2 個の分割ファイルとバッチ処理用ファイルを保存しました。");
    }
    QVERIFY(QFile::exists(dir.filePath("m42.bmp.dir/m42.bmp.001.000.bmp")));
    QVERIFY(QFile::exists(dir.filePath("m42.bmp.dir/m42.bmp.txt")));

    // Closing only hides the window; opening it again shows the same state.
    big->close();
    QVERIFY(!big->isVisible());
    QTest::mouseClick(child(&main, "cmdShowBigPic"), Qt::LeftButton);
    QCOMPARE(main.bigPicWindow(), big);
    QVERIFY(big->isVisible());
    QCOMPARE(child<QLabel>(big, "lblDivNo")->text(), QString("2 x 1"));
}

QTEST_MAIN(BigPicWindowTest)
#include "big_pic_window_test.moc"
