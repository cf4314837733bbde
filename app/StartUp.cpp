// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "StartUp.h"

#include "Form1.h"
#include "StartQuestions.h"

#include <QByteArray>
#include <QMessageLogContext>
#include <QLatin1String>
#include <QString>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// How a Qt option takes its value: not at all, as the next argument, as the
// next argument or after "=", or only after "=".
enum class Value { None, Next, NextOrJoined, Joined };

struct QtOption {
    std::string_view name;
    Value value;
};

// Qt's standard options, from QGuiApplication, QApplication and the X11
// platform; each may be written with one dash or two.
constexpr QtOption qtOptions[] = {
    {"platform", Value::Next},
    {"platformpluginpath", Value::Next},
    {"platformtheme", Value::Next},
    {"plugin", Value::Next},
    {"qwindowgeometry", Value::Next},
    {"qwindowicon", Value::Next},
    {"qwindowtitle", Value::Next},
    {"geometry", Value::Next},
    {"title", Value::Next},
    {"icon", Value::Next},
    {"display", Value::Next},
    {"name", Value::Next},
    {"session", Value::Next},
    {"style", Value::NextOrJoined},
    {"stylesheet", Value::NextOrJoined},
    {"qmljsdebugger", Value::Joined},
    {"reverse", Value::None},
    {"widgetcount", Value::None},
    {"sync", Value::None},
    {"testability", Value::None},
    {"nograb", Value::None},
    {"dograb", Value::None},
};

const char helpText[] =
    "Usage: wrenfield [QT-OPTION]...\n"
    "Make a short dialogue story in a series of windows and save it as a text\n"
    "file in your documents folder, under Wrenfield (the program calls it c:\\).\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "Qt's standard options are accepted too, e.g. -platform NAME, -display DISPLAY,\n"
    "-style STYLE, -reverse. The windows need a display: DISPLAY (X11) or\n"
    "WAYLAND_DISPLAY (Wayland). See wrenfield(1) for the story file's name.\n";

CommandLine refuse(std::string why)
{
    CommandLine refused;
    refused.request = CommandLine::Request::Refuse;
    refused.refusal = std::move(why);
    return refused;
}

std::string quoted(std::string_view text)
{
    return "'" + std::string(text) + "'";
}

// What the guard needs once Qt has given up: the command line and what Qt
// logged before it did.
struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
const CommandLine *guardedCommandLine = nullptr;
QtMessageHandler handlerBefore = nullptr;
std::vector<HeldMessage> heldMessages;

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

// The display the platform was told to open, and who told it.
std::pair<std::string, std::string> namedDisplay(const CommandLine &commandLine)
{
    if (!commandLine.display.empty())
        return {commandLine.display, "-display"};
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const std::string display = environment(variable); !display.empty())
            return {display, variable};
    }
    return {};
}

// Whether Qt found a Wayland platform plugin: its fatal message lists the
// platform plugins it has ("Available platform plugins are: eglfs, ...,
// xcb."), and a list without "wayland" or "wayland-egl" means the plugin
// (qt6-wayland) is not installed.
bool waylandPluginAvailable(const QString &fatalText)
{
    const QLatin1String listed("Available platform plugins are:");
    const qsizetype at = fatalText.indexOf(listed);
    if (at < 0)
        return true;
    const QString plugins = fatalText.mid(at + listed.size()).section(QLatin1Char('\n'), 0, 0);
    return plugins.contains(QLatin1String("wayland"));
}

// The one line for a window system that could not start. When the X11 or
// Wayland platform could not reach its display, it says which display or
// that none is named, or, for a Wayland display, that Qt's plugin for it is
// missing; otherwise (a platform plugin that is missing, say) it
// gives the platform's own first word on it, or Qt's fatal message.
std::string noWindowSystemLine(const CommandLine &commandLine, const QString &fatalText)
{
    const bool unreachable = std::ranges::any_of(heldMessages, [](const HeldMessage &message) {
        return message.text.contains(QLatin1String("could not connect to display"))
               || message.text.contains(QLatin1String("Failed to create wl_display"));
    });
    if (!unreachable) {
        const auto platformMessage = std::ranges::find_if(heldMessages, [](const HeldMessage &message) {
            return message.category.startsWith("qt.qpa");
        });
        const QString &reason = platformMessage != heldMessages.end() ? platformMessage->text : fatalText;
        std::string line = "wrenfield: cannot start the window system: "
                           + reason.section(QLatin1Char('\n'), 0, 0).toStdString();
        if (reason.contains(QLatin1String("platform plugin \"wayland")))
            line += "; install the package qt6-wayland";
        return line;
    }
    const auto [display, source] = namedDisplay(commandLine);
    if (source == "WAYLAND_DISPLAY" && !waylandPluginAvailable(fatalText)) {
        return "wrenfield: cannot use the Wayland display \"" + display
               + "\" named by WAYLAND_DISPLAY: Qt's Wayland platform plugin is not installed; "
                 "install the package qt6-wayland, or set DISPLAY to an X11 display";
    }
    if (display.empty()) {
        return "wrenfield: no display to open: DISPLAY and WAYLAND_DISPLAY are not set; run it in a "
               "graphical session, or set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland)";
    }
    return "wrenfield: cannot open the display \"" + display + "\" named by " + source
           + "; run it in a graphical session, or set DISPLAY or WAYLAND_DISPLAY to a display that is running";
}

// Holds Qt's messages back; Qt's fatal message about the window system ends
// the program with the one line instead of an abort.
void holdBack(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", noWindowSystemLine(*guardedCommandLine, text).c_str());
        std::_Exit(1);
    }
    heldMessages.push_back({type, context.category, text});
}

} // namespace

CommandLine readCommandLine(int argc, const char *const *argv)
{
    CommandLine commandLine;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            commandLine.request = CommandLine::Request::Help;
            return commandLine;
        }
        if (argument == "-v" || argument == "--version") {
            commandLine.request = CommandLine::Request::Version;
            return commandLine;
        }
        if (argument.size() < 2 || argument[0] != '-' || argument == "--")
            return refuse("unexpected argument " + quoted(argument));

        const std::string_view written = argument.substr(argument.starts_with("--") ? 2 : 1);
        const std::string_view name = written.substr(0, written.find('='));
        const bool joined = name.size() < written.size();
        const auto option = std::ranges::find(qtOptions, name, &QtOption::name);
        if (option == std::end(qtOptions))
            return refuse("unknown option " + quoted(argument));

        std::string_view value;
        if (joined) {
            if (option->value != Value::NextOrJoined && option->value != Value::Joined)
                return refuse("option " + quoted(argument.substr(0, argument.find('='))) + " takes no '='");
            value = written.substr(name.size() + 1);
        } else if (option->value == Value::Joined) {
            return refuse("option " + quoted(argument) + " needs '=VALUE'");
        } else if (option->value != Value::None) {
            if (i + 1 == argc)
                return refuse("option " + quoted(argument) + " needs a value");
            value = argv[++i];
        }
        if (name == "platform")
            commandLine.platform = value;
        else if (name == "display")
            commandLine.display = value;
    }
    return commandLine;
}

int answerCommandLine(const CommandLine &commandLine, std::string_view version)
{
    switch (commandLine.request) {
    case CommandLine::Request::Help:
        std::fputs(helpText, stdout);
        break;
    case CommandLine::Request::Version:
        std::printf("wrenfield %.*s\n"
                    "Copyright (C) 2026 The Wrenfield developers\n"
                    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n",
                    static_cast<int>(version.size()), version.data());
        break;
    case CommandLine::Request::Refuse:
        std::fprintf(stderr, "wrenfield: %s\nTry 'wrenfield --help' for more information.\n",
                     commandLine.refusal.c_str());
        return 2;
    case CommandLine::Request::Start:
        return 0;
    }
    // Help or version that could not be written (to a full disk, say) is a
    // failure, not a success.
    if (std::fflush(stdout) == 0)
        return 0;
    std::fprintf(stderr, "wrenfield: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
}

WindowSystemGuard::WindowSystemGuard(const CommandLine &commandLine)
{
    guardedCommandLine = &commandLine;
    handlerBefore = qInstallMessageHandler(holdBack);
}

void WindowSystemGuard::release()
{
    if (!std::exchange(guarding, false))
        return;
    qInstallMessageHandler(handlerBefore);
    for (const HeldMessage &message : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        if (handlerBefore)
            handlerBefore(message.type, context, message.text);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(message.type, context, message.text)));
    }
    heldMessages.clear();
    guardedCommandLine = nullptr;
}

namespace {

// A saved story's draft: the user is told, and the draft goes.
bool dropSavedDraft(DraftStore &drafts, const LeftDraft &left, const DraftStanding &standing,
                    const Resolution &resolution)
{
    Draft marked = left.draft;
    marked.save = standing.save;
    const int error = drafts.discard(left, encodeDraft(marked));
    const bool toldBySave = resolution.outcome == Resolution::Outcome::Finished
                            && resolution.storyFile == standing.storyFile;
    return (toldBySave && !error) || tellDraftSaved(standing.storyFile, error);
}

} // namespace

std::optional<ResumedDraft> takeUpLeftDrafts(DraftStore &drafts, const QList<LeftDraft> &left,
                                             const QString &storyRoot, const Resolution &resolution,
                                             bool *sessionEnded)
{
    std::optional<ResumedDraft> resumed;
    for (const LeftDraft &draft : left) {
        if (resumed || *sessionEnded) {
            drafts.release(draft);  // offered at the next start
            continue;
        }
        const DraftStanding standing =
            standingOf(draft.draft, storyRoot, resolution, Form1::storyBytesOf(draft.draft));
        if (standing.kind == DraftStanding::Kind::Saved) {
            // Taken on the main or the about window after the save: only the
            // about window's text is left to keep, and it comes back unasked.
            if (draft.draft.window == QLatin1String("Form2") || draft.draft.window == QLatin1String("Form3")) {
                drafts.adopt(draft);
                resumed = ResumedDraft{draft.draft, true};
            } else if (!dropSavedDraft(drafts, draft, standing, resolution)) {
                *sessionEnded = true;
            }
            continue;
        }
        switch (askToContinue(draft.draft, standing)) {
        case StartAnswer::Continue:
            drafts.adopt(draft);
            resumed = ResumedDraft{draft.draft, false};
            break;
        case StartAnswer::Discard:
            drafts.discard(draft);
            break;
        case StartAnswer::SessionEnded:
            drafts.release(draft);
            *sessionEnded = true;
            break;
        }
    }
    return resumed;
}
