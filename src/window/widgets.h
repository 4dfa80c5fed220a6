#pragma once
// Small widgets the main window is built from: buttons that Enter presses, settings boxes that
// report when their value is to be checked, labels that report a double-click, and the colour
// swatches of the result legend.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "form/canvas.h"

namespace orv::window {

// A push button that Enter and Return press as well as Space.
class PushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A text box whose value is checked when it loses the focus (to another control, or because
// the window loses it) and when Enter is pressed in it; `committed` marks those moments.
class SettingsBox : public QLineEdit {
    Q_OBJECT
public:
    explicit SettingsBox(QWidget* parent);

signals:
    void committed();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

// A label that reports a double-click.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A small square in one colour with a thin dark border (legend of the result classes).
class Swatch : public QWidget {
    Q_OBJECT
public:
    Swatch(form::Rgb colour, QWidget* parent);
    form::Rgb colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    form::Rgb colour_;
};

}  // namespace orv::window
