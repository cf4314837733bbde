// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "StoryRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The story being written, as it stands in the windows: kept on disk while
// the user works, so that a crash, a power cut or the end of the desktop
// session loses at most the last moments of typing. It holds the whole story
// record, every window's selected options and every text box's text (by the
// controls' names), the window the user is on and when it last changed.
struct Draft {
    struct Selection {
        QString window;  // a window's objectName, e.g. "frmp1"
        QString option;  // the selected option's objectName, e.g. "Option7"
    };
    struct Text {
        QString window;
        QString box;     // the text box's objectName, e.g. "Text3"
        QString text;
    };

    // The save the story was handed to, if any: the story file as the
    // program names it (c:\...txt) and the size and SHA-256 (hex) of the
    // bytes the save puts after the staging file's. A story file that ends
    // with them is this story, saved.
    struct Save {
        QString storyFilePath;
        qint64 size = 0;  // 0: the story was not handed to a save
        QByteArray sha256;
    };

    StoryRecord story;
    Save save;
    QString window;        // the window on screen
    qint64 changedMs = 0;  // the last change, milliseconds since 1970 (UTC)
    QList<Selection> selected;
    QList<Text> texts;
};

// The largest draft written or read: every speech and box of the largest
// story a save takes, twice over (in its box and in the record).
inline constexpr qsizetype MaxDraftBytes = qsizetype(256) << 20;

// Window and control names are short plain names: letters, digits and
// parentheses, as in "Label1(3)".
inline constexpr qsizetype MaxDraftNameSize = 32;
// No window has more controls than this.
inline constexpr qsizetype MaxDraftEntries = 256;

// The draft as bytes: a heading and version, then lines with lengths, texts
// as UTF-16 (so that any text a box can hold comes back unchanged), and a
// SHA-256 checksum of all before it.
QByteArray encodeDraft(const Draft &draft);

// Why a draft cannot be taken.
enum class DraftDamage {
    None,
    NotADraft,     // it does not start as a draft
    Newer,         // a newer version of the program wrote it
    CutShort,      // cut short, lengths or names wrong, or bytes after its end
    Checksum,      // its checksum does not match
    TooLarge,      // larger than any draft
    NotPlainFile,  // a folder, a link, a device
    NotYours,      // another user's, or readable or changeable by others
    Unreadable,    // it could not be read (an errno says why)
};

// Reads a draft strictly: every line in its place, numbers in their plain
// form, lengths that match, names of the allowed form, nothing after the
// checksum and a checksum that matches. Anything else gives nothing and, in
// *damage, why.
std::optional<Draft> parseDraft(QByteArrayView bytes, DraftDamage *damage = nullptr);
