// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveNotice.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

#include <memory>

QMessageBox *unfinishedSaveNotice(const Resolution &resolution, QWidget *parent)
{
    if (resolution.message.isEmpty())
        return nullptr;
    const bool finished = resolution.outcome == Resolution::Outcome::Finished;
    auto *box = new QMessageBox(finished ? QMessageBox::Information : QMessageBox::Warning,
                                QStringLiteral("Wrenfield"),
                                finished ? QObject::tr("A story was saved when Wrenfield started.")
                                         : QObject::tr("A story could not be saved completely."),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("unfinishedSave"));
    box->setInformativeText(resolution.message);
    QPushButton *showFolder = box->addButton(QObject::tr("Show folder"), QMessageBox::ActionRole);
    showFolder->setObjectName(QStringLiteral("showFolder"));
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    return box;
}

void tellAboutUnfinishedSave(const Resolution &resolution, const QString &storyRoot)
{
    const std::unique_ptr<QMessageBox> box(unfinishedSaveNotice(resolution));
    if (!box)
        return;
    box->exec();
    if (box->clickedButton() && box->clickedButton()->objectName() == QLatin1String("showFolder"))
        QDesktopServices::openUrl(QUrl::fromLocalFile(storyRoot));
}
