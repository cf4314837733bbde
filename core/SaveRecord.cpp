// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveRecord.h"

#include "CheckedBytes.h"
#include "StoryFileName.h"

#include <limits>

namespace {

const QByteArrayView Heading = "Wrenfield unfinished save\n";
const QByteArrayView Version1 = "version 1\n";
const QByteArrayView Version2 = "version 2\n";
constexpr qsizetype ChecksumHexSize = 64;

} // namespace

QByteArray stagingTailChecksum(QByteArrayView tail)
{
    return sha256Hex(tail);
}

bool isSaveRecordFileName(QByteArrayView name)
{
    return name.startsWith(QByteArrayView(SaveRecordName));
}

QByteArray encodeSaveRecord(const SaveRecord &record)
{
    QByteArray out = Heading.toByteArray() + Version2.toByteArray();
    out += "name " + QByteArray::number(record.name.size()) + '\n' + record.name + '\n';
    if (record.hasStaging)
        out += "staging " + QByteArray::number(record.stagingSize) + ' ' + record.stagingTail + '\n';
    else
        out += "staging none\n";
    out += "story " + QByteArray::number(record.story.size()) + '\n' + record.story + '\n';
    appendChecksumLine(out);
    return out;
}

std::optional<SaveRecord> parseSaveRecord(QByteArrayView bytes, QString *problem)
{
    const auto refuse = [&](const char *why) -> std::optional<SaveRecord> {
        if (problem)
            *problem = QString::fromLatin1(why);
        return std::nullopt;
    };
    ByteReader in(bytes);
    SaveRecord record;
    if (!in.literal(Heading))
        return refuse("it is not a record of an unfinished save");
    const bool version1 = in.literal(Version1);
    in.ok = true;
    if (!version1 && !in.literal(Version2))
        return refuse("it is of an unknown version");

    in.literal("name ");
    record.name = in.take(qsizetype(in.number(MaxStoryFileNameBytes, '\n')));
    in.literal("\n");
    const bool read = in.literal("staging ");
    if (read && !in.literal("none\n")) {
        in.ok = true;
        record.hasStaging = true;
        const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
        // The staging file and the story must fit in one file.
        const std::uint64_t maxSize = std::uint64_t(std::numeric_limits<qint64>::max() - MaxStoryBytes);
        if (version1) {
            in.number(max, ' ');  // its device and inode, which prove nothing
            in.number(max, ' ');
            record.stagingSize = in.number(maxSize, '\n');
        } else {
            record.stagingSize = in.number(maxSize, ' ');
            record.stagingTail = in.lowerHex(ChecksumHexSize);
            in.literal("\n");
        }
    }
    in.literal("story ");
    record.story = in.take(qsizetype(in.number(MaxStoryBytes, '\n')));
    in.literal("\n");
    if (const char *wrong = in.endWithChecksum())
        return refuse(wrong);

    const QString name = QString::fromUtf8(record.name);
    if (name.toUtf8() != record.name || storyFileNameProblem(name) || isSaveRecordFileName(record.name))
        return refuse("its file name is not one a story may have");
    return record;
}
