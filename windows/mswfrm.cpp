#include "mswfrm.h"

#include "ControlTable.h"
#include "WindowRegistry.h"

#include <QPushButton>

namespace {
using namespace Layout;
const WindowLayout form{"mswfrm", "Wrenfield", 5160, 9480, QPoint(4365, 1110)};
const Control controls[] = {
    {"Command1", Kind::CommandButton, "", "Click When Done", 1200, 8760, 1935, 495, 12},
};
} // namespace

mswfrm::mswfrm(StoryRecord &, WindowRegistry &windows)
    : windows(windows)
{
    buildWindow(this, form, controls);
    connect(control<QPushButton>(this, "Command1"), &QPushButton::clicked, this, &mswfrm::Command1_Click);
}

void mswfrm::Command1_Click()
{
    windows.ShowWindow(Window::Form1);
    windows.HideWindow(Window::mswfrm);
}
