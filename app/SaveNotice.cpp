// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveNotice.h"

#include "SaveMessages.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <cstdio>
#include <memory>

void tellAboutUnfinishedSave(const Resolution &resolution, const QString &storyRoot)
{
    if (const QString line = SaveMessages::resolutionLine(resolution); !line.isEmpty())
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    const std::unique_ptr<QMessageBox> box(unfinishedSaveNotice(resolution, SaveMessages::When::AtStart));
    if (!box)
        return;
    box->exec();
    if (box->clickedButton() && box->clickedButton()->objectName() == QLatin1String("showFolder"))
        QDesktopServices::openUrl(QUrl::fromLocalFile(storyRoot));
}
