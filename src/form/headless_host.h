#pragma once
// The host without a window: for the command line and the tests. Dialog answers are
// scripted (queues; an empty queue answers OK / cancel), the clock is fixed unless told
// otherwise, sleeping only adds up the time asked for, and pictures are decoded by a
// function the owner supplies.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "form/host.h"

namespace orv::form {

class HeadlessHost : public Host {
public:
    struct ShownMessage {
        std::string text;
        std::string title;
        MsgButtons buttons;
    };

    // Scripted answers, consumed in order.
    std::deque<MsgAnswer> msgAnswers;  // empty: Ok (Cancel to the unsaved-work question)
    std::deque<std::optional<std::string>> inputAnswers;   // empty: cancelled
    std::deque<std::optional<std::string>> fileAnswers;    // empty: cancelled
    std::deque<std::optional<std::string>> folderAnswers;  // empty: cancelled
    std::deque<std::optional<std::string>> saveAnswers;    // empty: cancelled

    // What happened.
    std::vector<ShownMessage> messages;
    std::vector<std::string> fileDialogs;    // "folder|filter" of each dialog shown
    std::vector<std::string> folderDialogs;  // initial folder of each folder chooser shown
    std::vector<std::string> saveDialogs;    // "folder|name|filter" of each save dialog shown
    std::vector<std::string> editorsStarted;
    bool editorAvailable = true;  // whether startEditor finds an editor
    int beeps = 0;
    long long sleptMs = 0;
    long long pumps = 0;
    bool busy = false;

    // Called at every pump (a test can press buttons "while a step runs").
    std::function<void()> onPump;
    std::function<core::Result<Picture>(const std::string&)> decoder;
    std::function<core::Result<Picture>()> clipboard;
    // The clock: fixed unless a function is given.
    DateTime fixedTime{2015, 9, 27, 21, 3, 5};
    std::function<DateTime()> clock;
    // Really sleep (off: only count).
    bool realSleep = false;

    void pump() override;
    MsgAnswer msgBox(const std::string& text, MsgButtons buttons,
                     const std::string& title) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::optional<std::string> openFileDialog(const std::string& initialFolder,
                                              const std::string& filter) override;
    std::optional<std::string> chooseFolder(const std::string& initialFolder) override;
    std::optional<std::string> saveFileDialog(const std::string& initialFolder,
                                              const std::string& suggestedName,
                                              const std::string& filter) override;
    core::Result<Picture> clipboardPicture() override;
    core::Result<Picture> decodePicture(const std::string& path) override;
    void beep() override;
    void setBusy(bool b) override;
    bool startEditor(const std::string& path) override;
    void sleepMs(int milliseconds) override;
    DateTime now() override;
};

// The local time of the system clock.
DateTime systemNow();

}  // namespace orv::form
