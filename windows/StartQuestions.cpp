// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StartQuestions.h"

#include "SaveMessages.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

SessionEndWatch::SessionEndWatch()
{
    qApp->installEventFilter(this);
}

bool SessionEndWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Quit && watched == qApp && !ended) {
        ended = true;
        if (QWidget *modal = QApplication::activeModalWidget())
            QTimer::singleShot(0, modal, &QWidget::hide);
    }
    return false;
}

StartAnswer askToContinue(const Draft &draft, const DraftStanding &standing)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Wrenfield"),
                    QObject::tr("Continue the story you were writing?"));
    box.setObjectName(QStringLiteral("draftQuestion"));
    // The title word is shown as it was typed: escaped, so that what looks
    // like markup in it is shown as text.
    const QString title = draft.story.TitleWord.isEmpty()
                            ? QObject::tr("It has no title word yet.")
                            : QObject::tr("Title word: \u201c%1\u201d").arg(draft.story.TitleWord.left(80).toHtmlEscaped());
    const QDateTime changed = QDateTime::fromMSecsSinceEpoch(draft.changedMs);
    QString text = QStringLiteral("<p>%1<br>%2</p>")
                       .arg(title, QObject::tr("Last changed: %1")
                                       .arg(QLocale().toString(changed, QLocale::LongFormat).toHtmlEscaped()));
    if (standing.kind == DraftStanding::Kind::SaveSetAside)
        text += QStringLiteral("<p>%1</p>").arg(QObject::tr("It was being saved as %1, but the save could not be "
                                                            "finished and was set aside (kept as %2): it is not "
                                                            "saved.")
                                                    .arg(SaveMessages::quoted(standing.storyFile), SaveMessages::quoted(standing.keptIn))
                                                    .toHtmlEscaped());
    box.setInformativeText(text);
    QPushButton *keep = box.addButton(QObject::tr("&Continue"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    keep->setObjectName(QStringLiteral("continue"));
    discard->setObjectName(QStringLiteral("discard"));
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    const SessionEndWatch watch;
    box.exec();
    if (watch.ended)
        return StartAnswer::SessionEnded;
    return box.clickedButton() == discard ? StartAnswer::Discard : StartAnswer::Continue;
}

bool tellDraftSaved(const QString &storyFile, int removeError)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Wrenfield"),
                    QObject::tr("The story you were writing is saved as %1.").arg(SaveMessages::quoted(storyFile)));
    box.setObjectName(QStringLiteral("draftSaved"));
    if (removeError)
        box.setInformativeText(QObject::tr("Its draft could not be removed (%1); it is not offered again.")
                                   .arg(SaveMessages::errorText(removeError)));
    QPushButton *open = box.addButton(QObject::tr("&Open"), QMessageBox::ActionRole);
    QPushButton *folder = box.addButton(QObject::tr("Show &folder"), QMessageBox::ActionRole);
    QPushButton *ok = box.addButton(QMessageBox::Ok);
    open->setObjectName(QStringLiteral("open"));
    folder->setObjectName(QStringLiteral("showFolder"));
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    const SessionEndWatch watch;
    box.exec();
    if (box.clickedButton() == open)
        QDesktopServices::openUrl(QUrl::fromLocalFile(storyFile));
    else if (box.clickedButton() == folder)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(storyFile).path()));
    return !watch.ended;
}
