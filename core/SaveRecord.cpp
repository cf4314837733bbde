// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveRecord.h"

#include "CheckedBytes.h"
#include "StoryFileName.h"

#include <limits>

namespace {

const QByteArrayView Heading = "Wrenfield unfinished save\n";
const QByteArrayView Version = "version 2\n";

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
    QByteArray out = Heading.toByteArray() + Version.toByteArray();
    out += "name " + QByteArray::number(record.name.size()) + '\n' + record.name + '\n';
    if (record.hasStaging)
        out += "staging " + QByteArray::number(record.stagingSize) + ' ' + record.stagingTail + '\n';
    else
        out += "staging none\n";
    out += "story " + QByteArray::number(record.story.size()) + '\n' + record.story + '\n';
    appendChecksumLine(out);
    return out;
}

std::optional<SaveRecord> parseSaveRecord(QByteArrayView bytes, RecordProblem *problem)
{
    const auto refuse = [&](RecordProblem why) -> std::optional<SaveRecord> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    ByteReader in(bytes);
    SaveRecord record;
    if (!in.literal(Heading))
        return refuse(RecordProblem::NotARecord);
    if (!in.literal(Version))
        return refuse(RecordProblem::UnknownVersion);

    in.literal("name ");
    record.name = in.take(qsizetype(in.number(MaxStoryFileNameBytes, '\n')));
    in.literal("\n");
    in.literal("staging ");
    if (!in.skip("none\n")) {
        record.hasStaging = true;
        // The staging file and the story must fit in one file.
        const std::uint64_t maxSize = std::uint64_t(std::numeric_limits<qint64>::max() - MaxStoryBytes);
        record.stagingSize = in.number(maxSize, ' ');
        record.stagingTail = in.lowerHex(ChecksumHexSize);
        in.literal("\n");
    }
    in.literal("story ");
    record.story = in.take(qsizetype(in.number(MaxStoryBytes, '\n')));
    in.literal("\n");
    switch (in.checkEnd()) {
    case CheckedEnd::CutShort:
        return refuse(RecordProblem::CutShort);
    case CheckedEnd::ChecksumWrong:
        return refuse(RecordProblem::ChecksumWrong);
    case CheckedEnd::Whole:
        break;
    }

    const QString name = QString::fromUtf8(record.name);
    if (name.toUtf8() != record.name || storyFileNameProblem(name) || isSaveRecordFileName(record.name))
        return refuse(RecordProblem::BadName);
    return record;
}
