// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "ControlTable.h"

#include "Accessibility.h"
#include "ControlStyle.h"
#include "Legibility.h"
#include "Placement.h"
#include "TextBox.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QIcon>
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
#include <cmath>
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
    QRect captionArea(const QStyleOptionButton &option, const QString &caption, int &alignment) const
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

    bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
};

// The navy of the classic desktop's active title bar.
constexpr QColor activeTitleBarNavy(0x00, 0x00, 0x80);

// Keeps a control's text in one of the coloured styles, legible on the
// background it is drawn on (a text box's base, the window behind a label)
// under whatever palette the desktop's theme gives, now and after the theme
// changes: on the usual light backgrounds the navy stays navy, on dark ones
// it becomes a light blue of the same hue.
class TextColourKeeper : public QObject {
public:
    TextColourKeeper(QWidget *widget, TextColour colour, QPalette::ColorRole background)
        : QObject(widget), widget(widget), colour(colour), background(background)
    {
        apply();
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            apply();
        return false;
    }

private:
    void apply()
    {
        QPalette palette = widget->palette();
        const QColor wanted = colour == TextColour::Highlight ? palette.color(QPalette::Highlight)
                                                               : activeTitleBarNavy;
        const QColor legible = legibleOn(wanted, palette.color(background));
        if (palette.color(QPalette::WindowText) == legible && palette.color(QPalette::Text) == legible)
            return;  // also ends the change event that setting the palette raises
        palette.setColor(QPalette::WindowText, legible);
        palette.setColor(QPalette::Text, legible);
        widget->setPalette(palette);
    }

    QWidget *const widget;
    const TextColour colour;
    const QPalette::ColorRole background;
};

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
        new TextColourKeeper(widget, c.colour, isGraphical(c.kind) ? QPalette::Window : QPalette::Base);
    if (!takesFocus(c.kind))
        widget->setFocusPolicy(Qt::NoFocus);
}

// Gives every window the program's icon: the icon theme's for the program's
// id where the program is installed, else the renditions built into it. It
// is set once the first window has painted, as reading the icon theme and
// the images takes a few milliseconds that the first window need not wait.
class ProgramIconWhenShown : public QObject {
public:
    explicit ProgramIconWhenShown(QObject *application)
        : QObject(application)
    {
        application->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            parent()->removeEventFilter(this);
            QMetaObject::invokeMethod(this, &ProgramIconWhenShown::setIcon, Qt::QueuedConnection);
        }
        return false;
    }

private:
    void setIcon()
    {
        QIcon builtIn;
        for (const int size : {16, 22, 24, 32, 48, 64, 128})
            builtIn.addFile(QStringLiteral(":/assets/icons/%1.png").arg(size), QSize(size, size));
        QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.wrenfield.Wrenfield"), builtIn));
        deleteLater();
    }
};

} // namespace

void buildWindow(QWidget *window, const WindowLayout &layout, std::span<const Control> controls)
{
    window->setObjectName(QString::fromLatin1(layout.name));
    markTableWindow(window);
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

    keepOnScreen(window);
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
    QApplication::setStyle(newControlStyle());
    installAccessibility();
    new ProgramIconWhenShown(qApp);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Script MT Bold"),
                               {QStringLiteral("Dancing Script"), QStringLiteral("URW Chancery L")});
    QFont::insertSubstitutions(QStringLiteral("Pristina"),
                               {QStringLiteral("Kristi"), QStringLiteral("Dancing Script")});
}

} // namespace Layout
