#include "window/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>
#include <QUrl>

#include "formats/decoder/picture_decoder.h"

namespace orv::window {

QtHost::QtHost(QWidget* parent, std::function<void()> sync)
    : parent_(parent), sync_(std::move(sync)) {
    sinceLastPump_.start();
}

void QtHost::pump() {
    if (sinceLastPump_.elapsed() < kPumpIntervalMs) return;
    pumpNow();
}

void QtHost::pumpNow() {
    longestGap_ = std::max(longestGap_, sinceLastPump_.elapsed());
    if (sync_) sync_();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    sinceLastPump_.restart();
}

form::MsgAnswer QtHost::msgBox(const std::string& text, form::MsgButtons buttons,
                               const std::string& title) {
    if (sync_) sync_();
    QMessageBox box(dialogParent());
    box.setWindowTitle(QString::fromStdString(title.empty() ? "Orvandel" : title));
    box.setText(QString::fromStdString(text));
    box.setIcon(QMessageBox::NoIcon);
    if (buttons == form::MsgButtons::SaveDiscardCancel) {
        // The unsaved-work question in the window's words; Esc and closing the box cancel.
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.button(QMessageBox::Save)->setText("保存");
        box.button(QMessageBox::Discard)->setText("破棄");
        box.button(QMessageBox::Cancel)->setText("キャンセル");
        box.setDefaultButton(QMessageBox::Save);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (buttons == form::MsgButtons::OkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    int r = box.exec();
    if (busy_) QApplication::restoreOverrideCursor();
    sinceLastPump_.restart();
    switch (r) {
        case QMessageBox::Ok:
            return form::MsgAnswer::Ok;
        case QMessageBox::Save:
            return form::MsgAnswer::Save;
        case QMessageBox::Discard:
            return form::MsgAnswer::Discard;
        default:
            return form::MsgAnswer::Cancel;
    }
}

std::optional<std::string> QtHost::inputBox(const std::string& prompt, const std::string& title,
                                            const std::string& defaultText) {
    if (sync_) sync_();
    bool ok = false;
    QString text = QInputDialog::getText(dialogParent(), QString::fromStdString(title),
                                         QString::fromStdString(prompt), QLineEdit::Normal,
                                         QString::fromStdString(defaultText), &ok);
    sinceLastPump_.restart();
    if (!ok) return std::nullopt;
    return text.toStdString();
}

QString qtFileFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    if (parts.size() < 2) return parts.value(0);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters.join(";;");
}

std::optional<std::string> QtHost::openFileDialog(const std::string& initialFolder,
                                                  const std::string& filter) {
    if (sync_) sync_();
    // Without a folder of its own the dialog starts where the last one ended.
    const QString start =
        initialFolder.empty() ? lastDialogFolder_ : QString::fromStdString(initialFolder);
    const QString filters = qtFileFilter(filter);
    QString& chosen = chosenFilter_[filter];
    QString path = QFileDialog::getOpenFileName(dialogParent(), QString(), start, filters, &chosen);
    sinceLastPump_.restart();
    if (path.isEmpty()) return std::nullopt;
    lastDialogFolder_ = QFileInfo(path).absolutePath();
    return path.toStdString();
}

std::optional<std::string> QtHost::chooseFolder(const std::string& initialFolder) {
    if (sync_) sync_();
    QString folder = QFileDialog::getExistingDirectory(dialogParent(), QString(),
                                                       QString::fromStdString(initialFolder));
    sinceLastPump_.restart();
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

std::optional<std::string> QtHost::saveFileDialog(const std::string& initialFolder,
                                                  const std::string& suggestedName,
                                                  const std::string& filter) {
    if (sync_) sync_();
    const QString start =
        QDir(QString::fromStdString(initialFolder)).filePath(QString::fromStdString(suggestedName));
    const QString filters = qtFileFilter(filter);
    QString chosen = filters.section(";;", 0, 0);
    QString path = QFileDialog::getSaveFileName(dialogParent(), QString(), start, filters, &chosen);
    sinceLastPump_.restart();
    if (path.isEmpty()) return std::nullopt;
    // A name without an extension takes the chosen filter's: "FITS (*.fits)" -> ".fits".
    if (QFileInfo(path).suffix().isEmpty()) {
        const int star = chosen.indexOf("*.");
        if (star >= 0) path += chosen.mid(star + 1).section(QRegularExpression("[ );]"), 0, 0);
    }
    return path.toStdString();
}

QWidget* QtHost::dialogParent() const {
    // Over the window the user works in (the division window has its own dialogs).
    QWidget* active = QApplication::activeWindow();
    return active ? active : parent_;
}

core::Result<form::Picture> QtHost::clipboardPicture() {
    QImage image = QApplication::clipboard()->image();
    if (image.isNull()) return core::Error{"クリップボードに画像がありません。"};
    return formats::pictureFromImage(image);
}

core::Result<form::Picture> QtHost::decodePicture(const std::string& path) {
    // Files from outside are read in the helper program where Qt's readers do it; the window
    // stays live meanwhile.
    return formats::decodePictureFileGuarded(path, formats::kDefaultAllocationLimitMb,
                                             [this] { pump(); });
}

void QtHost::beep() {
    // Bells rung together (one per rejected sample of a PSF profile) sound as one.
    if (lastBeep_.isValid() && lastBeep_.elapsed() < kBeepMergeMs) return;
    lastBeep_.start();
    QApplication::beep();
}

void QtHost::setBusy(bool busy) {
    if (busy == busy_) return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool QtHost::startEditor(const std::string& path) {
    // The desktop's program for text files; a file that does not exist yet goes to the first
    // plain-text editor found.
    const QString file = QString::fromStdString(path);
    if (QFile::exists(file) && QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return true;
    for (const char* editor : {"gedit", "gnome-text-editor", "mousepad", "kate", "kwrite", "xed",
                               "pluma", "featherpad", "leafpad"})
        if (QProcess::startDetached(editor, {file})) return true;
    return false;
}

void QtHost::sleepMs(int milliseconds) {
    // The window keeps painting while the program pauses, but no input is handled.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < milliseconds) {
        if (sync_) sync_();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        longestGap_ = std::max(longestGap_, sinceLastPump_.elapsed());
        sinceLastPump_.restart();
        // The events may have taken the rest of the pause (or more) already.
        const qint64 left = milliseconds - t.elapsed();
        if (left <= 0) break;
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(10, left)));
    }
}

form::DateTime QtHost::now() {
    QDateTime d = QDateTime::currentDateTime();
    return form::DateTime{d.date().year(), d.date().month(),  d.date().day(),
                          d.time().hour(), d.time().minute(), d.time().second()};
}

}  // namespace orv::window
