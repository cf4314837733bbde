// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QWidget>

class WindowRegistry;

// The about window: how to reach the program's creator, and "Back" to the
// main window.
class Form3 : public QWidget {
    Q_OBJECT

public:
    explicit Form3(WindowRegistry &windows);

private:
    void Command1_Click();

    WindowRegistry &windows;
};
