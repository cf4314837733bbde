#include "Form1.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;
const WindowLayout form{"Form1", "Form1", 3945, 2385, QPoint(2865, 1875)};
const Control controls[] = {
    {"Command3", Kind::CommandButton, "", "DONE!", 1080, 1920, 1935, 375, 4},
};
} // namespace

Form1::Form1(StoryRecord &, WindowRegistry &windows, const QString &)
    : windows(windows)
{
    buildWindow(this, form, controls);
    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &Form1::Command3_Click);
}

void Form1::Command3_Click()
{
    windows.HideWindow(Window::Form1);
    windows.ShowWindow(Window::Form2);
}
