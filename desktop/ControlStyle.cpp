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
#include <cmath>
#include <vector>

namespace Desktop {
namespace {

// `wanted`, or the least change of it, that stands out VisibleContrast from
// each of the `colours` (the window, a box's inside, a button's face): made to stand out from the nearest first, then from the others if
// need be, and from the nearest again if that undid it. The aim is a little
// above the bar: a curve's edge pixels are drawn at nearly, not quite, full
// strength.
QColor visibleOn(const QColor &wanted, std::vector<QColor> colours)
{
    constexpr double aim = VisibleContrast + 0.4;
    std::sort(colours.begin(), colours.end(), [&wanted](const QColor &a, const QColor &b) {
        return contrastRatio(wanted, a) < contrastRatio(wanted, b);
    });
    QColor shade = wanted;
    for (const QColor &ground : colours)
        shade = legibleOn(shade, ground, aim);
    return contrastRatio(shade, colours.front()) >= aim ? shade : legibleOn(shade, colours.front(), aim);
}

// The thinnest line that covers at least one whole device pixel across
// wherever it falls, so that antialiasing never draws it at part strength:
// one logical pixel, or two device pixels on a screen with a fractional scale.
qreal hairline(const QPainter *painter)
{
    const qreal scale = painter->device()->devicePixelRatioF();
    return std::ceil(scale) / scale;
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

    // A multi-line box's edge is as thick as its two rings of focus, so that
    // its text area, drawn over whatever lies inside the edge, leaves the
    // inner ring whole (Fusion's edge is one pixel).
    int pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
    {
        if (metric == PM_DefaultFrameWidth && qobject_cast<const QPlainTextEdit *>(widget)) {
            const qreal scale = widget->devicePixelRatioF();
            return int(std::ceil(2 * std::ceil(scale) / scale));
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
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
        // a square of an odd number of whole pixels, so that the line falls
        // on pixels' middles at the circle's left, right, top and bottom
        const int side = (std::min(option->rect.width(), option->rect.height()) - 1) | 1;
        const QPointF corner = option->rect.topLeft()
            + QPoint((option->rect.width() - side) / 2, (option->rect.height() - side) / 2);
        const qreal line = hairline(painter);
        const QPointF centre = corner + QPointF(side / 2.0, side / 2.0);
        const qreal radius = side / 2.0;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        // the edge as a disc with the inside over it: a filled shape's edge
        // pixels are drawn at fuller strength than a stroked curve's
        painter->setPen(Qt::NoPen);
        painter->setBrush(focus ? focusColour(palette) : edgeColour(palette));
        painter->drawEllipse(centre, radius, radius);
        painter->setBrush(option->state.testFlag(State_Sunken) ? palette.color(QPalette::Window)
                                                                 : palette.color(QPalette::Base));
        painter->drawEllipse(centre, radius - line, radius - line);
        if (option->state.testFlag(State_On)) {
            // the dot in the text colour, which reads on the base
            painter->setBrush(palette.color(QPalette::Text));
            painter->drawEllipse(centre, radius / 2.2, radius / 2.2);
        }
        painter->restore();
    }

    static void drawBoxEdge(const QStyleOption *option, QPainter *painter, bool focus)
    {
        const qreal line = hairline(painter);
        const QRectF edge = QRectF(option->rect).adjusted(line / 2, line / 2, -line / 2, -line / 2);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(focus ? focusColour(option->palette) : edgeColour(option->palette), line));
        painter->drawRoundedRect(edge, 2, 2);
        if (focus)  // a second ring inside the first: the focus is more than a change of colour
            painter->drawRoundedRect(edge.adjusted(line, line, -line, -line), 1.5, 1.5);
        painter->restore();
    }

    static void drawFocusRing(const QRect &rect, const QPalette &palette, QPainter *painter, int inset)
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setBrush(Qt::NoBrush);
        const qreal line = hairline(painter);
        const qreal in = inset - 1 + line / 2;
        painter->setPen(QPen(focusColour(palette), line));
        painter->drawRoundedRect(QRectF(rect).adjusted(in, in, -in, -in), 2, 2);
        painter->restore();
    }
};

} // namespace

QColor edgeColour(const QPalette &palette)
{
    // Fusion's own edge, a shade darker than the window
    return visibleOn(palette.color(QPalette::Window).darker(140),
                     {palette.color(QPalette::Window), palette.color(QPalette::Base)});
}

QColor focusColour(const QPalette &palette)
{
    // Fusion's own focus colour, a shade darker than the highlight. A ring
    // is drawn on a button's face too, which Fusion paints lighter than the
    // palette's button colour the darker that is, and on the default button
    // with a tenth of the highlight in it.
    const QColor button = palette.color(QPalette::Button);
    const QColor face = button.lighter(100 + std::max(1, (180 - qGray(button.rgb())) / 6));
    const QColor tint = palette.color(QPalette::Highlight).lighter(130);
    const QColor defaultFace((face.red() * 9 + tint.red()) / 10, (face.green() * 9 + tint.green()) / 10,
                             (face.blue() * 9 + tint.blue()) / 10);
    return visibleOn(palette.color(QPalette::Highlight).darker(125),
                     {palette.color(QPalette::Window), palette.color(QPalette::Base), face, defaultFace});
}

QStyle *newControlStyle()
{
    return new ControlStyle;
}

} // namespace Desktop
