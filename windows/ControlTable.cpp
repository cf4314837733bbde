// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlTable.h"

#include "TextBox.h"

#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <vector>

namespace Layout {
namespace {

// An option button whose caption breaks into lines at spaces when it does not
// fit its box, like "Serious (boring)" in its 73-pixel box. Anywhere in the
// box selects it.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();  // the style draws the indicator (and focus) only
        painter.drawControl(QStyle::CE_RadioButton, option);

        const QRect textArea = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
        painter.drawItemText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                             palette(), isEnabled(), caption, QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = painter.boundingRect(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                                              caption).adjusted(-1, 0, 1, 0);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
};

QColor colourOf(TextColour colour, const QPalette &palette)
{
    switch (colour) {
    case TextColour::Highlight:
        return palette.color(QPalette::Highlight);
    case TextColour::ActiveTitleBar:
        return QColor(0x00, 0x00, 0x80);  // the classic desktop's active title bar, navy
    case TextColour::Default:
        break;
    }
    return {};
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
        return new OptionButton(caption, parent);
    case Kind::TextBox:
        return TextBox::newOneLine(caption, parent);
    case Kind::MultiLineTextBox:
        return TextBox::newMultiLine(caption, parent);
    case Kind::Label: {
        auto *label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    case Kind::Picture: {
        auto *picture = new QLabel(parent);
        picture->setPixmap(QPixmap(caption));
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
    if (c.colour != TextColour::Default) {
        QPalette palette = widget->palette();
        const QColor colour = colourOf(c.colour, palette);
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::Text, colour);
        widget->setPalette(palette);
    }
    if (!takesFocus(c.kind))
        widget->setFocusPolicy(Qt::NoFocus);
}

} // namespace

void buildWindow(QWidget *window, const WindowLayout &layout, std::span<const Control> controls)
{
    window->setObjectName(QString::fromLatin1(layout.name));
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

void installLookAndFeel()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Script MT Bold"),
                               {QStringLiteral("Dancing Script"), QStringLiteral("URW Chancery L")});
    QFont::insertSubstitutions(QStringLiteral("Pristina"),
                               {QStringLiteral("Kristi"), QStringLiteral("Dancing Script")});
}

} // namespace Layout
