// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "LookAndFeel.h"

#include "Accessibility.h"
#include "ControlStyle.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QIcon>

namespace Desktop {
namespace {

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

} // namespace Desktop
