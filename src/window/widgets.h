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

// A one-line label whose text is shortened with "…" where it does not fit; the whole text is
// then its tooltip (otherwise the tooltip given).
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    ElidedLabel(Qt::TextElideMode mode, QWidget* parent);
    void setFullText(const QString& text, const QString& tooltip);
    QString fullText() const { return full_; }
    bool elided() const { return text() != full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    Qt::TextElideMode mode_;
    QString full_, tip_;
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
