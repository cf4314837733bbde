#pragma once

#include "StoryRecord.h"

#include <QString>
#include <QWidget>

class WindowRegistry;

class mswfrm : public QWidget {
    Q_OBJECT

public:
    mswfrm(StoryRecord &story, WindowRegistry &windows);

private:
    void Command1_Click();

    WindowRegistry &windows;
};
