// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>

// What the save's record and the draft share: files of plain lines and
// counted fields, closed by a line "sha256 HEX" over everything before it,
// read strictly so that only exactly what was written is accepted.

// The lowercase hex SHA-256 of bytes, and its length.
QByteArray sha256Hex(QByteArrayView bytes);
inline constexpr qsizetype ChecksumHexSize = 64;

// How a file read by ByteReader ends.
enum class CheckedEnd {
    Whole,          // the checksum line, matching, and nothing after it
    CutShort,       // cut short, or its lengths are wrong
    ChecksumWrong,  // a checksum that does not match
};

// Closes `out` with its checksum line.
void appendChecksumLine(QByteArray &out);

// Reads such a file front to back. Every read fails once one has failed, so
// a parser reads on and checks once, at the end.
class ByteReader {
public:
    explicit ByteReader(QByteArrayView bytes) : bytes(bytes) {}

    // The bytes `text` next.
    bool literal(QByteArrayView text);

    // Reads past `text` when it comes next; unlike literal(), no failure
    // when it does not.
    bool skip(QByteArrayView text);

    // A decimal number in its plain form (no sign, no leading zero), at most
    // max, followed by the byte after.
    std::uint64_t number(std::uint64_t max, char after);

    // The next size bytes.
    QByteArray take(qsizetype size);

    // The next size bytes, all lowercase hex digits.
    QByteArray lowerHex(qsizetype size);

    // The checksum line over everything read so far, and nothing after it.
    CheckedEnd checkEnd();

    // The same: nullptr when all is well, else what is wrong, in words.
    const char *endWithChecksum();

    bool ok = true;
    qsizetype position = 0;

protected:
    QByteArrayView bytes;
};
