#include "window/bindings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cmath>

#include "window/widgets.h"

namespace orv::window {

namespace {

template <typename W>
void setText(W* w, const std::string& text) {
    const QString t = qs(text);
    if (w->text() != t) w->setText(t);
}

}  // namespace

void applyControl(QWidget* w, const form::Control& c) {
    const QSignalBlocker block(w);
    const QString tip = qs(c.ToolTipText);
    if (w->toolTip() != tip) w->setToolTip(tip);
    if (w->testAttribute(Qt::WA_ForceDisabled) == c.Enabled) w->setEnabled(c.Enabled);
    if (w->isHidden() == c.Visible) w->setVisible(c.Visible);
}

void applyGeometry(QWidget* w, const form::Placed& c) {
    const QRect g(static_cast<int>(std::lround(c.Left)), static_cast<int>(std::lround(c.Top)),
                  static_cast<int>(std::lround(c.Width)), static_cast<int>(std::lround(c.Height)));
    if (w->geometry() != g) w->setGeometry(g);
}

void apply(QAbstractButton* w, const form::CommandButton& c) {
    const QSignalBlocker block(w);
    setText(w, c.Caption);
    applyControl(w, c);
    if (c.Shortcut.empty()) return;
    const QString tip = tooltipWithShortcut(c);
    if (w->toolTip() != tip) w->setToolTip(tip);
}

QString tooltipWithShortcut(const form::CommandButton& c) {
    const QString key = "(" + qs(c.Shortcut) + ")";
    return c.ToolTipText.empty() ? key : qs(c.ToolTipText) + " " + key;
}

void apply(QLabel* w, const form::Label& c) {
    setText(w, c.Caption);
    applyControl(w, c);
}

void apply(ElidedLabel* w, const form::Label& c) {
    w->setFullText(qs(c.Caption), qs(c.ToolTipText));
    if (w->isHidden() == c.Visible) w->setVisible(c.Visible);
}

void apply(QGroupBox* w, const form::Frame& c) {
    const QString t = qs(c.Caption);
    if (w->title() != t) w->setTitle(t);
    applyControl(w, c);
}

void apply(QLineEdit* w, const form::TextBox& c) {
    const QSignalBlocker block(w);
    setText(w, c.Text);
    applyControl(w, c);
}

void apply(QCheckBox* w, const form::CheckBox& c) {
    const QSignalBlocker block(w);
    setText(w, c.Caption);
    if (w->isChecked() != (c.Value == 1)) w->setChecked(c.Value == 1);
    applyControl(w, c);
}

void apply(QProgressBar* w, const form::ProgressBar& c) {
    if (w->value() != c.Value) w->setValue(c.Value);
    applyControl(w, c);
}

void applyOptions(QButtonGroup* group, std::span<QRadioButton* const> buttons,
                  std::span<const form::OptionButton> options) {
    const QSignalBlocker blockGroup(group);
    bool anySelected = false;
    for (size_t i = 0; i < buttons.size(); ++i) {
        QRadioButton* w = buttons[i];
        const QSignalBlocker block(w);
        setText(w, options[i].Caption);
        applyControl(w, options[i]);
        if (options[i].Value) {
            anySelected = true;
            if (!w->isChecked()) w->setChecked(true);  // unchecks the others of the group
        }
    }
    if (anySelected) return;
    // An exclusive group never lets the last checked button go by itself.
    QAbstractButton* checked = group->checkedButton();
    if (!checked) return;
    const QSignalBlocker block(checked);
    group->setExclusive(false);
    checked->setChecked(false);
    group->setExclusive(true);
}

}  // namespace orv::window
