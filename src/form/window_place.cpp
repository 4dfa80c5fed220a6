#include "form/window_place.h"

#include <algorithm>

#include "core/ini.h"
#include "core/numeric.h"
#include "core/text_file.h"

namespace orv::form {

namespace {

constexpr const char* kSection = "WINDOW";
// Sizes beyond this are not a window's (a damaged file).
constexpr int kLargest = 100000;

}  // namespace

std::string windowPlaceFile(const core::ProgramFolders& folders) {
    return core::joinPath(folders.writableFolder(), kWindowPlaceFileName);
}

std::optional<WindowPlace> readWindowPlace(const std::string& file) {
    if (!core::fileExists(file)) return std::nullopt;
    const core::IniFile ini = core::IniFile::load(file);
    auto number = [&](const char* key) -> std::optional<int> {
        const std::string text = ini.get(kSection, key);
        if (!core::IsNumeric(text)) return std::nullopt;
        const double v = *core::parseNumber(text);
        if (!(v >= -kLargest && v <= kLargest)) return std::nullopt;
        return static_cast<int>(v);
    };
    const auto left = number("Left"), top = number("Top");
    const auto width = number("Width"), height = number("Height");
    if (!left || !top || !width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    return WindowPlace{*left, *top, *width, *height, number("Maximized").value_or(0) == 1};
}

core::Result<void> writeWindowPlace(const std::string& file, const WindowPlace& p) {
    auto line = [](const char* key, int value) {
        return std::string(key) + " = " + std::to_string(value);
    };
    return core::writeLinesAnew(
        file, {"[WINDOW]", line("Left", p.left), line("Top", p.top), line("Width", p.width),
               line("Height", p.height), line("Maximized", p.maximized ? 1 : 0)});
}

WindowPlace fitOnScreen(WindowPlace p, const ScreenArea& screen, int frameWidth, int frameHeight,
                        int minWidth, int minHeight) {
    const int roomW = std::max(1, screen.width - frameWidth);
    const int roomH = std::max(1, screen.height - frameHeight);
    p.width = std::min(std::max(p.width, std::min(minWidth, roomW)), roomW);
    p.height = std::min(std::max(p.height, std::min(minHeight, roomH)), roomH);
    const int outerW = p.width + frameWidth, outerH = p.height + frameHeight;
    // The left and top edges win where even the smallest frame is wider than the screen.
    p.left = std::max(screen.left, std::min(p.left, screen.left + screen.width - outerW));
    p.top = std::max(screen.top, std::min(p.top, screen.top + screen.height - outerH));
    return p;
}

WindowPlace shrinkOnScreen(WindowPlace p, const ScreenArea& screen, int frameWidth, int frameHeight,
                           int minWidth, int minHeight) {
    const int right = screen.left + screen.width, bottom = screen.top + screen.height;
    const int roomW = right - p.left - frameWidth, roomH = bottom - p.top - frameHeight;
    p.width = std::min(p.width, std::max(roomW, std::min(minWidth, p.width)));
    p.height = std::min(p.height, std::max(roomH, std::min(minHeight, p.height)));
    // Still beyond the screen: moved back just enough, then as fitOnScreen places it.
    return fitOnScreen(p, screen, frameWidth, frameHeight, 0, 0);
}

}  // namespace orv::form
