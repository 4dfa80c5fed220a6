#pragma once
// What the Qt tests of the main window share: a shown window with its own program folder,
// answering modal boxes and dialogs, generated pictures loaded as a user would, the counts
// and the processing log as the window shows them.

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>

#include "bench/bmp_writer.h"
#include "bench/starfield.h"
#include "core/settings.h"
#include "form/settings_boxes.h"
#include "form/stage.h"
#include "input/image_load.h"
#include "window/main_window.h"
#include "window/picture_layer.h"

namespace uitest {

// A shown window with its own program folder.
struct Window {
    QTemporaryDir dir;
    std::unique_ptr<orv::window::MainWindow> w;

    Window() {
        w = std::make_unique<orv::window::MainWindow>(orv::core::ProgramFolders::at(folder()));
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get())) qFatal("window not active");
    }
    std::string folder() const { return dir.path().toStdString(); }
    std::string settingsFile() const { return folder() + "/Orvandel.ini"; }

    template <typename T = QWidget>
    T* get(const char* name) const {
        T* found = w->findChild<T*>(QString::fromUtf8(name));
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    void stage(int s) {
        orv::form::setStage(w->ctx(), static_cast<int16_t>(s));
        w->syncFromModel();
    }
    // Which layer widgets are shown, as their indices ("34").
    QString shownLayers() const {
        QString s;
        for (int i = 0; i < 5; ++i)
            if (!w->layer(i)->isHidden()) s += QChar('0' + i);
        return s;
    }
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Answers OK to the modal box that appears next and keeps its text.
inline void answerNextMessageBox(QString* shownText) {
    QTimer::singleShot(0, [shownText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        *shownText = box->text();
        box->button(QMessageBox::Ok)->click();
    });
}

// A dark star field with a bright 3 x 3 dot every 40 pixels, written as a BMP file.
inline void writeStarField(const QString& path, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(qRgb(12, 12, 12));
    for (int y = 20; y + 1 < height; y += 40)
        for (int x = 20; x + 1 < width; x += 40)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    image.setPixel(x + dx, y + dy, qRgb(200, 200, 200));
    if (!image.save(path, "BMP")) qFatal("cannot write %s", qPrintable(path));
}

// Answers every modal window that appears while it lives: a message box with OK (its text is
// kept), the unsaved-work question with `unsaved` (保存, 破棄 or キャンセル), a file dialog with
// `file`, or cancels it without one (its name filters and starting folder are kept). Polls, so
// it serves boxes that come one after another inside one click.
class ModalAnswerer {
public:
    explicit ModalAnswerer(QString file = {},
                           QMessageBox::StandardButton unsaved = QMessageBox::Discard)
        : file_(std::move(file)), unsaved_(unsaved) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }
    QStringList messages;
    QStringList fileFilters;
    QStringList folders;  // where each file dialog started

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            QAbstractButton* button = box->button(QMessageBox::Ok);
            if (!button) button = box->button(unsaved_);
            if (!button) button = box->button(QMessageBox::Cancel);
            button->click();
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            fileFilters << dialog->nameFilters();
            folders << dialog->directory().absolutePath();
            if (file_.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(file_);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own, which checks the file
        }
    }
    QString file_;
    QMessageBox::StandardButton unsaved_;
    QTimer poll_;
};

// The texts of the processing log, without their time stamps ("YYYY/MM/DD HH:MM:SS ").
inline QStringList logTexts(const std::string& path) {
    QStringList texts;
    for (const QString& line : QString::fromStdString(readAll(path)).split("\r\n")) {
        if (line.isEmpty()) continue;
        if (line.size() < 20 || line[19] != ' ') return {"bad line: " + line};
        texts << line.mid(20);
    }
    return texts;
}

// The counts as the labels of "検出結果" show them, and as StarAtrNo holds them: total, noise,
// area, circular, elongated, released, deleted, added.
inline QStringList shownCounts(const Window& t) {
    QStringList s;
    for (const char* name : {"lblStarNo", "lblStarAtr(0)", "lblStarAtr(1)", "lblStarAtr(2)",
                             "lblStarAtr(3)", "lblStarAtr(4)", "lblStarAtr1(0)", "lblStarAtr1(1)"})
        s << t.get<QLabel>(name)->text();
    return s;
}
inline QStringList modelCounts(const Window& t) {
    const auto& n = t.w->workspace().StarAtrNo;
    const int32_t parts[] = {n[0][1], n[0][2], n[0][3], n[0][4], n[0][5], n[1][1], n[1][2]};
    QStringList s{QString::number(std::accumulate(std::begin(parts), std::end(parts), 0))};
    for (int32_t v : parts) s << QString::number(v);
    return s;
}

inline void useTypicalSettings(Window& t) {
    auto& ws = t.w->workspace();
    ws.settings.HeikinWidth = 4;
    ws.settings.Siki = 4;
    ws.settings.SikiTop = 240;
    ws.settings.NumPixel = 5;
    ws.settings.NumPixel2 = 12;
    ws.settings.Sinendo = 2;
    ws.settings.SinendoMax = 30;
    orv::form::showSettings(t.w->ctx());
}

// Loads <dir>/<name> as the batch run does (source 3).
inline bool loadNamed(Window& t, const char* name) {
    auto& ws = t.w->workspace();
    ws.DoFilePath = t.folder();
    ws.DoFileName = name;
    bool loaded = false;
    t.w->runHandler([&](orv::form::Ctx& ctx) { loaded = orv::input::cmdDataIn_Click(ctx, 3); });
    return loaded;
}

// Writes a regular grid of dots as <dir>/<name>, then loads it with the usual settings.
inline bool loadStarField(Window& t, const char* name, int width, int height) {
    writeStarField(t.dir.filePath(name), width, height);
    useTypicalSettings(t);
    return loadNamed(t, name);
}

// Writes a generated sky (noise, gradient, stars of many sizes, a pair) as <dir>/<name>,
// then loads it with the usual settings.
inline bool loadGeneratedField(Window& t, const char* name, int width, int height, int stars) {
    const auto field =
        orv::bench::generateStarField(orv::bench::denseField(width, height, stars, 7));
    if (!orv::bench::writeBmp(t.dir.filePath(name).toStdString(), field.width, field.height,
                              field.rgb))
        qFatal("cannot write %s", name);
    useTypicalSettings(t);
    return loadNamed(t, name);
}

}  // namespace uitest
