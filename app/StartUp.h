// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "DraftStore.h"

#include <optional>
#include <string>
#include <string_view>

// How the program starts: what its command line asks for, and what happens
// when the window system cannot be started.

// What the command line asks for. The program's own options are -h/--help and
// -v/--version; Qt's standard options (-platform, -display, -style, ...) are
// let through, since QApplication takes them out of argv itself. Anything
// else is refused, before any display is opened.
struct CommandLine {
    enum class Request { Start, Help, Version, Refuse };
    Request request = Request::Start;
    std::string refusal;   // for Refuse: what is wrong, e.g. "unknown option '--colour'"
    std::string platform;  // the value of -platform, when given
    std::string display;   // the value of -display, when given
};

CommandLine readCommandLine(int argc, const char *const *argv);

// Prints the help or the version on standard output, or the refusal and a
// hint on standard error. Returns the exit status: 0, or 2 for a refusal.
int answerCommandLine(const CommandLine &commandLine, std::string_view version);

// Qt ends a program whose window system cannot start (no display, or one that
// is not there) with an abort and a core dump. From a guard's construction
// until release(), that ends the program instead with one line on standard
// error saying what is missing, and status 1. Whatever else Qt logs meanwhile
// is held back and passed on at release(), so that a failed start prints
// only that one line.
class WindowSystemGuard {
public:
    explicit WindowSystemGuard(const CommandLine &commandLine);
    ~WindowSystemGuard() { release(); }
    WindowSystemGuard(const WindowSystemGuard &) = delete;
    WindowSystemGuard &operator=(const WindowSystemGuard &) = delete;

    // The window system has started: Qt's messages go where they went before.
    void release();

private:
    bool guarding = true;
};

// The draft the start goes on with, and whether its story is saved already
// (a draft taken after the save, for the about window's text).
struct ResumedDraft {
    Draft draft;
    bool saved = false;
};

// Goes through the drafts that earlier runs left, newest first, after the
// start has resolved an unfinished save in storyRoot (resolution). A draft
// whose story is saved is never offered: the user is told where the story
// is (unless the save's own notice said so) and the draft goes. The first
// other one is offered; the rest stay for the next start. Nothing, with
// *sessionEnded set, when the session ended while a window asked.
std::optional<ResumedDraft> takeUpLeftDrafts(DraftStore &drafts, const QList<LeftDraft> &left,
                                             const QString &storyRoot, const Resolution &resolution,
                                             bool *sessionEnded);
