#pragma once

#include "StoryRecord.h"

#include <QString>
#include <QWidget>

class WindowRegistry;

class Form3 : public QWidget {
    Q_OBJECT

public:
    explicit Form3(WindowRegistry &windows);

private:
    void Command1_Click();

    WindowRegistry &windows;
};
