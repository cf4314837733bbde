// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Saves one story and exits with the error number (0 when saved), so that
// the fault tests can run a save under strace or with a preloaded library.
//
//   wrenfield_savehelper <story folder> <story path> <story text>

#include "StorySave.h"

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 255;
    ignoreFileSizeSignal();
    const auto error = saveStory(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                                 QString::fromLocal8Bit(argv[3]));
    return error ? error->number : 0;
}
