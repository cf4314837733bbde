#include "Form2.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;
const WindowLayout form{"Form2", "Form2", 9135, 4920, QPoint(2865, 4575)};
const Control controls[] = {
    {"Command1", Kind::CommandButton, "", "Make Story", 120, 2520, 2895, 735, 1},
};
} // namespace

Form2::Form2(WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form2::Command1_Click);
}

void Form2::Command1_Click()
{
    windows.HideWindow(Window::Form2);
    windows.ShowWindow(Window::frmgenre);
}
