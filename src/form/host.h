#pragma once
// Everything the procedures need from outside the window models: the event queue, modal
// boxes, dialogs, the clipboard, picture decoding, the pointer, a text editor, sleeping and
// the clock. The Qt host serves the window; the headless host serves the command line and
// the tests.

#include <optional>
#include <string>

#include "core/result.h"
#include "form/picture.h"

namespace orv::form {

// SaveDiscardCancel: the unsaved-work question, answered Save (保存), Discard (破棄) or Cancel
// (キャンセル).
enum class MsgButtons { Ok, OkCancel, SaveDiscardCancel };
enum class MsgAnswer { Ok, Cancel, Save, Discard };

struct DateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Host {
public:
    virtual ~Host() = default;

    // Lets the window repaint and handle pending events (the Cancel button among them).
    // Cheap to call often: the window host does real work at most every few milliseconds.
    virtual void pump() = 0;

    // A modal message box. An empty title means the program's default title.
    virtual MsgAnswer msgBox(const std::string& text, MsgButtons buttons,
                             const std::string& title = "") = 0;
    // A modal input box; nothing when the user cancels.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    // An open-file dialog starting in `initialFolder` with a filter in the form
    // "description|*.a;*.b". The chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> openFileDialog(const std::string& initialFolder,
                                                      const std::string& filter) = 0;
    // A folder chooser starting in `initialFolder`. The chosen folder, or nothing when
    // cancelled (also where the host has no chooser).
    virtual std::optional<std::string> chooseFolder(const std::string& initialFolder) {
        (void)initialFolder;
        return std::nullopt;
    }

    // A save dialog starting in `initialFolder` with `suggestedName` and a filter in the form
    // "description|*.a|description|*.b" (the first one chosen). The chosen full path (given
    // the chosen filter's extension when the name has none), or nothing when cancelled (also
    // where the host has no such dialog).
    virtual std::optional<std::string> saveFileDialog(const std::string& initialFolder,
                                                      const std::string& suggestedName,
                                                      const std::string& filter) {
        (void)initialFolder, (void)suggestedName, (void)filter;
        return std::nullopt;
    }

    // The picture on the clipboard, or an error when there is none.
    virtual core::Result<Picture> clipboardPicture() = 0;
    // Decodes a BMP or JPEG file.
    virtual core::Result<Picture> decodePicture(const std::string& path) = 0;

    virtual void beep() = 0;
    // The hourglass (busy) pointer on or off.
    virtual void setBusy(bool busy) = 0;
    // Starts the desktop's plain-text editor on the file and does not wait for it. False when
    // no editor could be started.
    virtual bool startEditor(const std::string& path) = 0;
    // Pauses; the window keeps painting but handles no input meanwhile.
    virtual void sleepMs(int milliseconds) = 0;
    // Local date and time.
    virtual DateTime now() = 0;
};

// "YYYY/MM/DD HH:MM:SS"
std::string formatDateTime(const DateTime& t);

}  // namespace orv::form
