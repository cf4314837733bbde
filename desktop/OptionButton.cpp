// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "OptionButton.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <cmath>

namespace Desktop {

void OptionButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();  // the style draws the indicator only
    option.state &= ~QStyle::State_HasFocus;  // the focus is drawn around the caption below
    painter.drawControl(QStyle::CE_RadioButton, option);

    int alignment = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextDontClip;
    const QRect textArea = captionArea(option, caption, alignment);
    painter.drawItemText(textArea, alignment, palette(), isEnabled(), caption, QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.boundingRect(textArea, alignment, caption).adjusted(-1, 0, 1, 0) & rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

// Where the caption goes: the style's place for it, unless the stand-in
// font runs the caption past the box's right or bottom edge, or to within
// a pixel of it (fractional scale factors round the box to whole device
// pixels and would cut that pixel off). Then it moves left into the gap
// beside the indicator as far as needed, and a caption too tall for the
// box centres its letters rather than its lines, which hold unused room
// above the capitals.
QRect OptionButton::captionArea(const QStyleOptionButton &option, const QString &caption, int &alignment) const
{
    QRect area = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
    const QFontMetricsF metrics(font());
    const QRectF needed = metrics.boundingRect(QRectF(area), alignment, caption);
    const int pastRight = int(std::ceil(needed.right() + 1 - width()));
    if (pastRight > 0) {
        const QRect indicator = style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, this);
        area.translate(-std::min(pastRight, area.left() - indicator.right() - 2), 0);
    }
    if (needed.height() > area.height() - 2) {
        const int lines = qRound(needed.height() / metrics.lineSpacing());
        const qreal letters = (lines - 1) * metrics.lineSpacing() + metrics.capHeight() + metrics.descent();
        area.setTop(qRound(area.top() + (area.height() - letters) / 2 - (metrics.ascent() - metrics.capHeight())));
        alignment = (alignment & ~Qt::AlignVCenter) | Qt::AlignTop;
    }
    return area;
}

void OptionButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool next = key == Qt::Key_Down || key == Qt::Key_Right;
    const bool previous = key == Qt::Key_Up || key == Qt::Key_Left;
    if ((!next && !previous) || (event->modifiers() & ~Qt::KeypadModifier) || !autoExclusive()) {
        QRadioButton::keyPressEvent(event);
        return;
    }
    const QList<QRadioButton *> group = optionsInReadingOrder(parentWidget());
    const qsizetype here = group.indexOf(this);
    QRadioButton *target = group.at((here + (next ? 1 : group.size() - 1)) % group.size());
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    target->click();  // selects it as a click does, with its handlers
}

QList<QRadioButton *> optionsInReadingOrder(const QWidget *frame)
{
    QList<QRadioButton *> group;
    for (QObject *child : frame->children())
        if (auto *option = qobject_cast<QRadioButton *>(child);
            option && option->autoExclusive() && option->isEnabled() && option->isVisibleTo(frame))
            group << option;
    std::sort(group.begin(), group.end(), [](const QRadioButton *a, const QRadioButton *b) {
        return std::pair(a->x(), a->y()) < std::pair(b->x(), b->y());
    });
    return group;
}

} // namespace Desktop
