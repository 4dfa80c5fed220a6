#pragma once
// The host of the desktop window: Qt dialogs, the clipboard, the busy pointer, the text
// editor and a throttled event pump that keeps the window live during long steps.

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <map>

#include "form/host.h"

class QWidget;

namespace orv::window {

class QtHost : public form::Host {
public:
    // `parent` owns the dialogs; `sync` copies the models to the widgets before repainting.
    QtHost(QWidget* parent, std::function<void()> sync);

    void pump() override;
    // Processes events now, whatever the time since the last pump.
    void pumpNow();
    form::MsgAnswer msgBox(const std::string& text, form::MsgButtons buttons,
                           const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> openFileDialog(const std::string& initialFolder,
                                              const std::string& filter) override;
    std::optional<std::string> chooseFolder(const std::string& initialFolder) override;
    std::optional<std::string> saveFileDialog(const std::string& initialFolder,
                                              const std::string& suggestedName,
                                              const std::string& filter) override;
    core::Result<form::Picture> clipboardPicture() override;
    core::Result<form::Picture> decodePicture(const std::string& path) override;
    void beep() override;
    void setBusy(bool busy) override;
    bool startEditor(const std::string& path) override;
    void sleepMs(int milliseconds) override;
    form::DateTime now() override;

    // Longest time between two event-queue passes during a step (the window's liveliness).
    qint64 longestGapMs() const { return longestGap_; }
    // Starts measuring afresh from now.
    void resetGapStatistics() {
        longestGap_ = 0;
        sinceLastPump_.restart();
    }

    // Milliseconds between two pumps that really process events.
    static constexpr int kPumpIntervalMs = 15;
    // Bells within this many milliseconds of the last one sounded are not sounded again.
    static constexpr int kBeepMergeMs = 30;

private:
    QWidget* dialogParent() const;

    QWidget* parent_;
    std::function<void()> sync_;
    QElapsedTimer sinceLastPump_;
    qint64 longestGap_ = 0;
    QElapsedTimer lastBeep_;
    bool busy_ = false;
    QString lastDialogFolder_;  // where the last open dialog's file was chosen
    // The filter last chosen in each kind of open dialog, offered first the next time.
    std::map<std::string, QString> chosenFilter_;
};

// "ピクチャ(*.bmp,*.jpg)|*.bmp;*.jpg" -> "ピクチャ(*.bmp,*.jpg) (*.bmp *.jpg)"; several
// description|patterns pairs ("A|*.a|B|*.b") become Qt's filters separated by ";;".
QString qtFileFilter(const std::string& filter);

}  // namespace orv::window
