#include "window/widgets.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

namespace orv::window {

void PushButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

SettingsBox::SettingsBox(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::returnPressed, this, &SettingsBox::committed);
}

void SettingsBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A context menu takes the focus only for a moment; the edit is not over.
    if (event->reason() != Qt::PopupFocusReason) emit committed();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

Swatch::Swatch(form::Rgb colour, QWidget* parent) : QWidget(parent), colour_(colour) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Swatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x40, 0x40, 0x40));
    p.fillRect(rect().adjusted(1, 1, -1, -1), QColor::fromRgb(colour_));
}

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {}

void ElidedLabel::setFullText(const QString& text, const QString& tooltip) {
    if (text == full_ && tooltip == tip_) return;
    full_ = text;
    tip_ = tooltip;
    refresh();
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refresh();
}

void ElidedLabel::refresh() {
    // One line: a line break in the text counts as a blank.
    QString line = full_;
    line.replace('\n', ' ');
    const QString shown = fontMetrics().elidedText(line, mode_, contentsRect().width());
    if (text() != shown) setText(shown);
    const QString tip = shown != full_ && !full_.isEmpty() ? full_ : tip_;
    if (toolTip() != tip) setToolTip(tip);
}

}  // namespace orv::window
