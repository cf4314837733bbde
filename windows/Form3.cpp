#include "Form3.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;
const WindowLayout form{"Form3", "About Me", 7605, 3720, std::nullopt};
const Control controls[] = {
    {"Command1", Kind::CommandButton, "", "Back", 5760, 1800, 1455, 735, 2},
};
} // namespace

Form3::Form3(WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &Form3::Command1_Click);
}

void Form3::Command1_Click()
{
    windows.HideWindow(Window::Form3);
    windows.ShowWindow(Window::Form2);
}
