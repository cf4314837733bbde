// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// The floor for start-up: the least Qt Widgets program that shows a window
// like the genre window, a frame of eleven option buttons and one button, at
// the same sizes. No fonts, style or resources of its own.

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.setGeometry(341, 202, 164, 248);

    auto *frame = new QGroupBox(QStringLiteral("Type of Story"), &window);
    frame->setGeometry(0, 0, 161, 201);
    const char *const captions[] = {"Adventure", "Comedy", "Family", "Golf", "Horror", "Life",
                                    "Misc.", "Scifi", "Romance", "Pets", "Mystery"};
    int i = 0;
    for (const char *caption : captions) {
        auto *option = new QRadioButton(QString::fromLatin1(caption), frame);
        option->setGeometry(i < 6 ? 8 : 72, 16 + (i % 6) * 30, 70, 25);
        ++i;
    }
    auto *ok = new QPushButton(QStringLiteral("&Ok"), &window);
    ok->setGeometry(0, 208, 161, 41);

    window.show();
    return QApplication::exec();
}
