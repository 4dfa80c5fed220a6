#pragma once
// Where the main window stood when it was last closed, kept in a file of its own
// ("OrvandelWindow.ini" beside the settings file; Orvandel.ini is written whole from the
// settings and keeps no window state), and how a remembered place is brought onto the screen
// the window opens on now.
//
//   [WINDOW]
//   Left = 40          the frame's top-left corner, screen pixels
//   Top = 30
//   Width = 1280       the client area, pixels
//   Height = 860
//   Maximized = 0      1: the window was maximized (the place above is its normal one)

#include <optional>
#include <string>

#include "core/paths.h"
#include "core/result.h"

namespace orv::form {

struct WindowPlace {
    int left = 0, top = 0;      // frame's top-left corner
    int width = 0, height = 0;  // client area
    bool maximized = false;
};

// A screen rectangle (the area windows may use, without the task bar).
struct ScreenArea {
    int left = 0, top = 0, width = 0, height = 0;
};

inline constexpr const char* kWindowPlaceFileName = "OrvandelWindow.ini";
// The file beside the settings file the program writes.
std::string windowPlaceFile(const core::ProgramFolders& folders);

// The remembered place; nothing when the file is missing or does not give a usable size.
std::optional<WindowPlace> readWindowPlace(const std::string& file);
core::Result<void> writeWindowPlace(const std::string& file, const WindowPlace& place);

// The place brought onto `screen`: the client no larger than the screen leaves beside a frame
// of frameWidth x frameHeight pixels (frame and title bar together) and no smaller than
// minWidth x minHeight where the screen allows, then the whole frame moved inside the screen.
WindowPlace fitOnScreen(WindowPlace place, const ScreenArea& screen, int frameWidth,
                        int frameHeight, int minWidth, int minHeight);

// A window that opens at a fixed place (the division window at (400, 100)): it stays there,
// its client shrunk (never grown) so that the frame ends inside the screen; only where that
// would leave less than minWidth x minHeight is it moved towards the screen's top-left
// corner, as far as needed.
WindowPlace shrinkOnScreen(WindowPlace place, const ScreenArea& screen, int frameWidth,
                           int frameHeight, int minWidth, int minHeight);

}  // namespace orv::form
