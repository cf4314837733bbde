// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Accessibility.h"

#include "AccessibleText.h"
#include "OptionButton.h"
#include "QuietNotice.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace Desktop {
namespace {

constexpr char tableWindowProperty[] = "wrenfieldTableWindow";
constexpr char unspokenProperty[] = "wrenfieldUnspoken";

// A window or a frame as screen readers see it. Qt presents a plain top-level
// widget as a nameless "filler"; a window is a frame with its caption, and
// both windows and frames leave out the controls that show nothing or are
// hidden, such as a scroll bar while nothing needs scrolling.
//
// A frame of options is a list of them, named by its caption. Screen readers
// say a list's name once, as the focus enters it. A frame presented as a
// panel is said again before every option by newer readers (Orca 48): they
// take the nearest named panel above an option for its group and repeat it
// unless the options are linked as members of one group, a link Qt has no
// way to give.
class Container : public QAccessibleWidget {
public:
    Container(QWidget *widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            if (const auto *frame = qobject_cast<const QGroupBox *>(widget()))
                return spokenCaption(frame->title());
        return QAccessibleWidget::text(t);
    }

    QAccessible::Role role() const override
    {
        const QAccessible::Role own = QAccessibleWidget::role();
        if (own == QAccessible::Grouping
            && widget()->findChild<QRadioButton *>(QString(), Qt::FindDirectChildrenOnly))
            return QAccessible::List;
        return own;
    }

    int childCount() const override { return int(spoken().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QWidgetList children = spoken();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                      : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(spoken().indexOf(child->object())) : -1;
    }

private:
    QWidgetList spoken() const
    {
        QWidgetList children;
        for (QObject *object : widget()->children())
            if (auto *child = qobject_cast<QWidget *>(object))
                if (!child->isWindow() && child->isVisibleTo(widget())
                    && !child->property(unspokenProperty).toBool())
                    children << child;
        return children;
    }
};

// An option button. Qt gives every control in a frame the frame as its
// label; for an option a screen reader then says the frame's name as the
// name of the option's group as well as when the focus enters the frame, so
// an option leaves that relation out.
class Option : public QAccessibleWidget
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    , public QAccessibleAttributesInterface
#endif
{
public:
    explicit Option(QRadioButton *option)
        : QAccessibleWidget(option, QAccessible::RadioButton)
    {
    }

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::AttributesInterface)
            return static_cast<QAccessibleAttributesInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Its place among the options of its frame, in the order the arrows
    // go: "3 of 11".
    QList<QAccessible::Attribute> attributeKeys() const override { return {QAccessible::Attribute::Custom}; }

    QVariant attributeValue(QAccessible::Attribute key) const override
    {
        const QList<QRadioButton *> group = optionsInReadingOrder(widget()->parentWidget());
        if (key != QAccessible::Attribute::Custom || !group.contains(option()))
            return {};
        return QVariant::fromValue(QHash<QString, QString>{
            {QStringLiteral("posinset"), QString::number(group.indexOf(option()) + 1)},
            {QStringLiteral("setsize"), QString::number(group.size())}});
    }
#endif

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return spokenCaption(option()->text());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = option()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == toggleAction() || action == pressAction())
            option()->click();
        else
            QAccessibleWidget::doAction(action);
    }

    QList<QPair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override
    {
        auto related = QAccessibleWidget::relations(match);
        related.removeIf([this](const QPair<QAccessibleInterface *, QAccessible::Relation> &r) {
            return r.second == QAccessible::Label && r.first->object() == widget()->parentWidget();
        });
        return related;
    }

private:
    QRadioButton *option() const { return static_cast<QRadioButton *>(widget()); }
};

// A push button, as Qt presents one, but for the key it is said to answer
// to: Qt names Enter for the focused button, which Orca 48 reads out as a
// stray "r"; Enter presses whichever button has the focus, so it is no key
// of this one. Its access key, where its caption has one, stays.
class PushButton : public QAccessibleWidget {
public:
    explicit PushButton(QPushButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
        addControllingSignal(QStringLiteral("clicked()"));
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return spokenCaption(button()->text());
        if (t == QAccessible::Accelerator)
            return QKeySequence::mnemonic(button()->text()).toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = button()->isDown();
        state.defaultButton = button()->isDefault();
        return state;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction() && widget()->isEnabled())
            button()->animateClick();
        else
            QAccessibleWidget::doAction(action);
    }

    QStringList keyBindingsForAction(const QString &action) const override
    {
        return action == pressAction() ? QStringList{button()->shortcut().toString()} : QStringList();
    }

private:
    QPushButton *button() const { return static_cast<QPushButton *>(widget()); }
};

// A message window: an alert, named by its title, its text the value and
// its further text the help, as Qt presents it; one shown without the
// keyboard is a notification where the toolkit cannot announce it (see
// QuietNotice.h).
class MessageWindow : public QAccessibleWidget {
public:
    explicit MessageWindow(QMessageBox *box)
        : QAccessibleWidget(box, QAccessible::AlertMessage)
    {
    }

    QAccessible::Role role() const override
    {
        return spokenAsNotification(widget()) ? QAccessible::Notification : QAccessible::AlertMessage;
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString title = QAccessibleWidget::text(t);
            return title.isEmpty() ? box()->text() : title;
        }
        case QAccessible::Value: return box()->text();
        case QAccessible::Help: return box()->informativeText();
        case QAccessible::Description: return widget()->accessibleDescription();
        default: return {};
        }
    }

private:
    QMessageBox *box() const { return static_cast<QMessageBox *>(widget()); }
};

QAccessibleInterface *controlFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (auto *box = qobject_cast<QMessageBox *>(object))
        return new MessageWindow(box);
    if (auto *button = qobject_cast<QPushButton *>(object))
        return new PushButton(button);
    if (!widget || !widget->window()->property(tableWindowProperty).toBool())
        return nullptr;
    if (widget->isWindow())
        return new Container(widget, QAccessible::Window);
    if (qobject_cast<QGroupBox *>(widget))
        return new Container(widget, QAccessible::Grouping);
    if (auto *option = qobject_cast<QRadioButton *>(widget))
        return new Option(option);
    return newAccessibleTextBox(widget);
}

// What screen readers are told of a text box's selection and caret: only
// while the box has the focus and has been told as focused. Qt tells the
// focus only after a box that takes it has selected its text (on Tab), and
// tells the box left that its selection is gone; Orca 43 reads both as
// selections of their own, the first before the focus, so that it says the
// box's text twice and "Text unselected" for the box left. The focus, once
// told, says the box's selection anyway.
QAccessible::UpdateHandler qtUpdate = nullptr;
QPointer<QObject> toldFocus;

void tellScreenReaders(QAccessibleEvent *event)
{
    QObject *source = event->object();
    const bool box = qobject_cast<QLineEdit *>(source) || qobject_cast<QPlainTextEdit *>(source);
    if (event->type() == QAccessible::Focus)
        toldFocus = source;
    else if (box && (event->type() == QAccessible::TextSelectionChanged || event->type() == QAccessible::TextCaretMoved)
             && (source != toldFocus || source != QApplication::focusWidget()))
        return;
    if (qtUpdate) {
        qtUpdate(event);
        return;
    }
    // Without a handler of its own, Qt passes the event to the platform.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(tellScreenReaders);
}

} // namespace

QString spokenCaption(const QString &caption)
{
    QString spoken;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i;  // "&O" speaks as "O", "&&" as "&"
        spoken += caption[i];
    }
    return spoken.trimmed();
}

void nameForScreenReaders(QWidget *window, std::span<const SpokenName> names)
{
    for (const SpokenName &entry : names) {
        auto *widget = window->findChild<QWidget *>(QString::fromLatin1(entry.control));
        Q_ASSERT_X(widget, "Desktop::nameForScreenReaders", entry.control);
        // A label's buddy is what Qt reports it the label for, and the buddy
        // labelled by it. None of the prompts has an access key.
        if (entry.prompt) {
            auto *prompt = window->findChild<QLabel *>(QString::fromLatin1(entry.prompt));
            Q_ASSERT_X(prompt, "Desktop::nameForScreenReaders", entry.prompt);
            prompt->setBuddy(widget);
            widget->setAccessibleName(spokenCaption(prompt->text()));
        } else if (entry.name) {
            widget->setAccessibleName(QString::fromUtf8(entry.name));
        } else {
            widget->setProperty(unspokenProperty, true);
        }
    }
}

void markTableWindow(QWidget *window)
{
    window->setProperty(tableWindowProperty, true);
}

void installAccessibility()
{
    QAccessible::installFactory(controlFactory);
    qtUpdate = QAccessible::installUpdateHandler(tellScreenReaders);
}

} // namespace Desktop
