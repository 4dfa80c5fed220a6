#pragma once
// Copies one control model onto its widget: caption, tooltip, visibility, enabled state and
// value. Each property is set only when it differs, with the widget's signals blocked, so a
// copy never fires a handler and costs nothing when nothing changed.

#include <QString>
#include <span>
#include <string>

#include "form/controls.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QWidget;

namespace orv::window {

class ElidedLabel;

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Tooltip, Visible and Enabled (the widget's own flag: a control inside a disabled frame
// stays greyed whatever its own flag says, as in the model).
void applyControl(QWidget* w, const form::Control& c);
// Position and size in pixels.
void applyGeometry(QWidget* w, const form::Placed& c);

// A button's tooltip ends with the key that presses it, when it has one: "... (Ctrl+S)".
void apply(QAbstractButton* w, const form::CommandButton& c);
QString tooltipWithShortcut(const form::CommandButton& c);
void apply(QLabel* w, const form::Label& c);
// A label shortened to its width: the tooltip is the whole caption while it is shortened.
void apply(ElidedLabel* w, const form::Label& c);
void apply(QGroupBox* w, const form::Frame& c);
void apply(QLineEdit* w, const form::TextBox& c);
void apply(QCheckBox* w, const form::CheckBox& c);
void apply(QProgressBar* w, const form::ProgressBar& c);
// An exclusive group of option buttons; buttons[i] shows options[i]. When no option is
// selected in the model, none is checked on screen either.
void applyOptions(QButtonGroup* group, std::span<QRadioButton* const> buttons,
                  std::span<const form::OptionButton> options);

}  // namespace orv::window
