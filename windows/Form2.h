// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QWidget>

class WindowRegistry;

// The main window, shown after each saved story: the program's name, its
// picture, and three buttons to make another story, read about the creator,
// or end the program.
class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(WindowRegistry &windows);

private:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    WindowRegistry &windows;
};
