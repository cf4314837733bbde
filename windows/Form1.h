#pragma once

#include "StoryRecord.h"

#include <QString>
#include <QWidget>

class WindowRegistry;

class Form1 : public QWidget {
    Q_OBJECT

public:
    Form1(StoryRecord &story, WindowRegistry &windows, const QString &storyRoot);

private:
    void Command3_Click();

    WindowRegistry &windows;
};
