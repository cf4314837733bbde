// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlStyle.h"

#include "Legibility.h"

#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>

namespace Layout {
namespace {

// `wanted`, or the least change of it, that stands out VisibleContrast from
// both the window and the base (a box's inside) of `palette`: made to stand
// out from the one nearer to it first, then from the other if need be.
QColor visibleOnBoth(const QColor &wanted, const QPalette &palette)
{
    QColor window = palette.color(QPalette::Window), base = palette.color(QPalette::Base);
    if (contrastRatio(wanted, window) > contrastRatio(wanted, base))
        std::swap(window, base);
    const QColor shade = legibleOn(legibleOn(wanted, window, VisibleContrast), base, VisibleContrast);
    return contrastRatio(shade, window) >= VisibleContrast ? shade : legibleOn(shade, window, VisibleContrast);
}

class ControlStyle : public QProxyStyle {
public:
    ControlStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        switch (element) {
        case PE_IndicatorRadioButton:
            drawOptionCircle(option, painter);
            return;
        case PE_FrameLineEdit:
            drawBoxEdge(option, painter, option->state.testFlag(State_HasFocus));
            return;
        case PE_Frame:
            if (qobject_cast<const QPlainTextEdit *>(widget)) {
                drawBoxEdge(option, painter, widget->hasFocus());
                return;
            }
            break;
        case PE_FrameFocusRect:
            drawFocusRing(option->rect, option->palette, painter, 1);
            return;
        case PE_PanelButtonCommand:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            if (option->state.testFlag(State_HasFocus))
                drawFocusRing(option->rect, option->palette, painter, 2);
            return;
        default:
            break;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    // Fusion shows the focus only once a key has moved it; the windows show
    // it from the start, where the focus already is when a window opens.
    void polish(QWidget *widget) override
    {
        QProxyStyle::polish(widget);
        if (widget->isWindow())
            widget->setAttribute(Qt::WA_KeyboardFocusChange);
    }
    using QProxyStyle::polish;

private:
    static void drawOptionCircle(const QStyleOption *option, QPainter *painter)
    {
        const QPalette &palette = option->palette;
        const bool focus = option->state.testFlag(State_HasFocus);
        const qreal radius = std::min(option->rect.width(), option->rect.height()) / 2.0 - 0.5;
        const QPointF centre = QRectF(option->rect).center();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(focus ? focusColour(palette) : edgeColour(palette), 1));
        painter->setBrush(option->state.testFlag(State_Sunken) ? palette.color(QPalette::Window)
                                                                 : palette.color(QPalette::Base));
        painter->drawEllipse(centre, radius, radius);
        if (option->state.testFlag(State_On)) {
            // the dot in the text colour, which reads on the base
            painter->setPen(Qt::NoPen);
            painter->setBrush(palette.color(QPalette::Text));
            painter->drawEllipse(centre, radius / 2.2, radius / 2.2);
        }
        painter->restore();
    }

    static void drawBoxEdge(const QStyleOption *option, QPainter *painter, bool focus)
    {
        const QRectF edge = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(focus ? focusColour(option->palette) : edgeColour(option->palette), 1));
        painter->drawRoundedRect(edge, 2, 2);
        if (focus)  // a second ring inside the first: the focus is more than a change of colour
            painter->drawRoundedRect(edge.adjusted(1, 1, -1, -1), 1.5, 1.5);
        painter->restore();
    }

    static void drawFocusRing(const QRect &rect, const QPalette &palette, QPainter *painter, int inset)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(focusColour(palette), 1));
        painter->drawRoundedRect(QRectF(rect).adjusted(inset - 0.5, inset - 0.5, 0.5 - inset, 0.5 - inset), 2, 2);
        painter->restore();
    }
};

} // namespace

QColor edgeColour(const QPalette &palette)
{
    // Fusion's own edge, a shade darker than the window
    return visibleOnBoth(palette.color(QPalette::Window).darker(140), palette);
}

QColor focusColour(const QPalette &palette)
{
    // Fusion's own focus colour, a shade darker than the highlight
    return visibleOnBoth(palette.color(QPalette::Highlight).darker(125), palette);
}

QStyle *newControlStyle()
{
    return new ControlStyle;
}

} // namespace Layout
