// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlTable.h"

#include "Accessibility.h"
#include "Legibility.h"
#include "OptionButton.h"
#include "Placement.h"
#include "TextBox.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Layout {
namespace {

// The picture at `path` as drawn for a screen of `scale` device pixels to the
// logical one: where the screen is scaled up, the drawing twice as large
// (`name@2x.jpg` beside `name.jpg`), shown at the same logical size.
QPixmap pictureFor(const QString &path, qreal scale)
{
    if (scale > 1) {
        const qsizetype dot = path.lastIndexOf(u'.');
        QPixmap sharp(path.left(dot) + QStringLiteral("@2x") + path.mid(dot));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2);
            return sharp;
        }
    }
    return QPixmap(path);
}

QWidget *create(const Control &c, QWidget *parent)
{
    const QString caption = QString::fromUtf8(c.caption);
    switch (c.kind) {
    case Kind::CommandButton: {
        auto *button = new QPushButton(caption, parent);
        button->setAutoDefault(true);  // Enter presses the focused button
        return button;
    }
    case Kind::Frame: {
        // A frame hides what lies behind it, as the speeches window's hidden
        // label behind its first frame needs.
        auto *frame = new QGroupBox(caption, parent);
        frame->setAutoFillBackground(true);
        return frame;
    }
    case Kind::OptionButton:
        return new Desktop::OptionButton(caption, parent);
    case Kind::TextBox:
        return Desktop::TextBox::newOneLine(caption, parent);
    case Kind::MultiLineTextBox:
        return Desktop::TextBox::newMultiLine(caption, parent);
    case Kind::Label: {
        auto *label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    case Kind::Picture: {
        auto *picture = new QLabel(parent);
        picture->setPixmap(pictureFor(caption, parent->devicePixelRatioF()));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // natural size, never stretched
        return picture;
    }
    }
    return nullptr;
}

bool isGraphical(Kind kind) { return kind == Kind::Label || kind == Kind::Picture; }

bool takesFocus(Kind kind)
{
    return kind == Kind::CommandButton || kind == Kind::OptionButton || kind == Kind::TextBox
        || kind == Kind::MultiLineTextBox;
}

void applyLook(QWidget *widget, const Control &c)
{
    if (c.font.face) {
        QFont font(QString::fromLatin1(c.font.face));
        font.setPointSizeF(c.font.points);
        font.setBold(c.font.bold);
        font.setItalic(c.font.italic);
        widget->setFont(font);
    }
    if (c.kind == Kind::Label && *c.caption) {
        // A script capital can reach left of where its line starts; the
        // caption then starts that much further in, so its box keeps it whole.
        const qreal reach = -QFontMetricsF(widget->font()).leftBearing(QString::fromUtf8(c.caption).front());
        if (reach > 0)
            static_cast<QLabel *>(widget)->setIndent(int(std::ceil(reach)));
    }
    if (c.colour != TextColour::Default)
        Desktop::keepTextColour(widget, c.colour, isGraphical(c.kind) ? QPalette::Window : QPalette::Base);
    if (!takesFocus(c.kind))
        widget->setFocusPolicy(Qt::NoFocus);
}

} // namespace

void buildWindow(QWidget *window, const WindowLayout &layout, std::span<const Control> controls)
{
    window->setObjectName(QString::fromLatin1(layout.name));
    Desktop::markTableWindow(window);
    window->setWindowTitle(QString::fromUtf8(layout.caption));
    window->setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    const QSize client(pixels(layout.clientWidth), pixels(layout.clientHeight));
    if (layout.position)
        window->setGeometry(QRect(QPoint(pixels(layout.position->x()), pixels(layout.position->y())), client));
    else
        window->resize(client);

    struct Built {
        QWidget *widget;
        const Control *control;
    };
    // Frames come later in a table than the controls inside them, so every
    // frame is created before any control is put into its container.
    std::vector<Built> built(controls.size());
    for (const bool frames : {true, false}) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            const Control &c = controls[i];
            if ((c.kind == Kind::Frame) != frames)
                continue;
            QWidget *container = *c.container ? control<QWidget>(window, c.container) : window;
            QWidget *widget = create(c, container);
            widget->setObjectName(QString::fromLatin1(c.name));
            widget->setGeometry(pixels(c.left), pixels(c.top), pixels(c.width), pixels(c.height));
            applyLook(widget, c);
            built[i] = {widget, &c};
        }
    }

    // Stacking: raising each control puts it in front of those raised before,
    // so raise graphical controls first, then the others, each from the back
    // of the table to its front.
    for (const bool graphical : {true, false})
        for (auto b = built.rbegin(); b != built.rend(); ++b)
            if (isGraphical(b->control->kind) == graphical)
                b->widget->raise();

    std::vector<Built> focusOrder;
    std::copy_if(built.begin(), built.end(), std::back_inserter(focusOrder),
                 [](const Built &b) { return takesFocus(b.control->kind); });
    std::sort(focusOrder.begin(), focusOrder.end(),
              [](const Built &a, const Built &b) { return a.control->tabIndex < b.control->tabIndex; });
    for (std::size_t i = 1; i < focusOrder.size(); ++i)
        QWidget::setTabOrder(focusOrder[i - 1].widget, focusOrder[i].widget);
    if (!focusOrder.empty())
        focusOrder.front().widget->setFocus(Qt::OtherFocusReason);

    Desktop::keepOnScreen(window);
}

void recordOptionCodes(QWidget *window, std::span<const OptionCode> codes, StoryRecord &story)
{
    for (const OptionCode &entry : codes) {
        const QString code = QString::fromLatin1(entry.code);
        QString StoryRecord::*field = entry.field;
        QObject::connect(control<QRadioButton>(window, entry.option), &QRadioButton::toggled, window,
                         [&story, field, code](bool selected) { if (selected) story.*field = code; });
    }
}

} // namespace Layout
