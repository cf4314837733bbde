// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "UnfinishedSave.h"

#include <QMessageBox>

// The window that tells the user, at start, what became of a save that an
// earlier run left unfinished: finished, or its record set aside with the
// story kept in it. Its "Show folder" button (objectName "showFolder")
// opens the story folder. Nothing when there is nothing to tell.
QMessageBox *unfinishedSaveNotice(const Resolution &resolution, QWidget *parent = nullptr);

// Shows that window, if any, and waits until it is closed; then opens the
// story folder in the desktop's file manager when the user asked for it.
void tellAboutUnfinishedSave(const Resolution &resolution, const QString &storyRoot);
