#pragma once
// Plain models of the window's controls: one struct per kind with the properties the program
// reads or writes. Procedures change these; the Qt layer shows them (see src/window/).
//
// Geometry is kept only where the program itself places a control (the viewport, the picture
// layers, the panels and the margin rectangles); the window lays out everything else.

#include <string>

#include "form/canvas.h"
#include "form/picture.h"

namespace orv::form {

struct Control {
    std::string Caption;
    std::string ToolTipText;
    bool Visible = true;
    bool Enabled = true;
};

struct Placed : Control {
    double Left = 0, Top = 0, Width = 0, Height = 0;
};

struct CommandButton : Control {
    // The key that presses it as well, shown after the tooltip ("" for none).
    std::string Shortcut;
};
struct Label : Control {};
struct Frame : Placed {};

struct TextBox : Control {
    std::string Text;
};

struct CheckBox : Control {
    int Value = 0;  // 0 unchecked, 1 checked
};

struct OptionButton : Control {
    bool Value = false;
};

struct ProgressBar : Control {
    int Value = 0;  // 0..100
};

// A shape placed in the logical units of its picture box (or of its frame): an outline
// rectangle or circle, optionally filled.
enum class ShapeKind { Rectangle, Circle };
struct Shape : Placed {
    Rgb BorderColor = RGB(0, 255, 0);
    ShapeKind Kind = ShapeKind::Rectangle;
    bool Filled = false;
    Rgb FillColor = RGB(0, 0, 0);
};

// A button that shows a picture file instead of its caption when the file can be read (the
// caption stands in for a missing picture). Value 1 shows it pressed in.
struct PictureButton : CommandButton {
    std::string PictureFile;
    int Value = 0;
};

// A picture box: position and size in layout units (twips), a logical scale, and its canvas.
struct PictureBox : Placed {
    double ScaleWidth = 0, ScaleHeight = 0;
    Canvas canvas;
    Picture picture;  // the picture loaded into the box (kept only while drawing is on)
};

// A thumbnail image; it shows layer 0's picture scaled into its size (layout units).
struct ImageBox : Placed {};

struct Timer {
    int Interval = 0;  // milliseconds
    bool Enabled = false;
};

}  // namespace orv::form
