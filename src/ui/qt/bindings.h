#pragma once
// Copies one control model onto its widget: caption, tooltip, visibility, enabled state and
// value. Each property is set only when it differs, with the widget's signals blocked, so a
// copy never fires a handler and costs nothing when nothing changed.

#include <QString>
#include <span>
#include <string>

#include "ui/controls.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QRadioButton;
class QWidget;

namespace orv::qt {

inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// Tooltip, Visible and Enabled (the widget's own flag: a control inside a disabled frame
// stays greyed whatever its own flag says, as in the model).
void applyControl(QWidget* w, const ui::Control& c);
// Position and size in pixels.
void applyGeometry(QWidget* w, const ui::Placed& c);

void apply(QAbstractButton* w, const ui::CommandButton& c);
void apply(QLabel* w, const ui::Label& c);
void apply(QGroupBox* w, const ui::Frame& c);
void apply(QLineEdit* w, const ui::TextBox& c);
void apply(QCheckBox* w, const ui::CheckBox& c);
void apply(QProgressBar* w, const ui::ProgressBar& c);
// An exclusive group of option buttons; buttons[i] shows options[i]. When no option is
// selected in the model, none is checked on screen either.
void applyOptions(QButtonGroup* group, std::span<QRadioButton* const> buttons,
                  std::span<const ui::OptionButton> options);

}  // namespace orv::qt
