// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "SaveRecord.h"

#include "StoryFileName.h"

#include <QCryptographicHash>

#include <limits>

namespace {

const QByteArrayView Heading = "Wrenfield unfinished save\n";
const QByteArrayView Version1 = "version 1\n";
const QByteArrayView Version2 = "version 2\n";
constexpr qsizetype ChecksumHexSize = 64;

QByteArray checksumOf(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Walks through a record; every read fails once one has failed.
class Reader {
public:
    explicit Reader(QByteArrayView bytes) : bytes(bytes) {}

    // Lowercase hex of a checksum.
    QByteArray checksum()
    {
        const QByteArray hex = take(ChecksumHexSize);
        for (const char c : hex)
            ok = ok && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
        return ok ? hex : QByteArray();
    }

    bool literal(QByteArrayView text)
    {
        ok = ok && bytes.sliced(position).startsWith(text);
        position += ok ? text.size() : 0;
        return ok;
    }

    // A decimal number in its plain form (no sign, no leading zero), at most
    // max, followed by the byte after.
    std::uint64_t number(std::uint64_t max, char after)
    {
        std::uint64_t value = 0;
        const qsizetype start = position;
        while (ok && position < bytes.size() && bytes[position] >= '0' && bytes[position] <= '9') {
            const unsigned digit = unsigned(bytes[position] - '0');
            ok = value <= (max - digit) / 10;
            value = value * 10 + digit;
            ++position;
        }
        const qsizetype digits = position - start;
        ok = ok && digits > 0 && (digits == 1 || bytes[start] != '0') && literal(QByteArrayView(&after, 1));
        return ok ? value : 0;
    }

    QByteArray take(qsizetype size)
    {
        ok = ok && size <= bytes.size() - position;
        const QByteArray taken = ok ? bytes.sliced(position, size).toByteArray() : QByteArray();
        position += ok ? size : 0;
        return taken;
    }

    bool ok = true;
    qsizetype position = 0;

private:
    QByteArrayView bytes;
};

} // namespace

QByteArray stagingTailChecksum(QByteArrayView tail)
{
    return checksumOf(tail);
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
    out += "sha256 " + checksumOf(out) + '\n';
    return out;
}

std::optional<SaveRecord> parseSaveRecord(QByteArrayView bytes, QString *problem)
{
    const auto refuse = [&](const char *why) -> std::optional<SaveRecord> {
        if (problem)
            *problem = QString::fromLatin1(why);
        return std::nullopt;
    };
    Reader in(bytes);
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
            record.stagingTail = in.checksum();
            in.literal("\n");
        }
    }
    in.literal("story ");
    record.story = in.take(qsizetype(in.number(MaxStoryBytes, '\n')));
    in.literal("\n");
    const qsizetype checked = in.position;
    in.literal("sha256 ");
    const QByteArray checksum = in.take(ChecksumHexSize);
    in.literal("\n");
    if (!in.ok || in.position != bytes.size())
        return refuse("it is cut short or its lengths are wrong");
    if (checksum != checksumOf(bytes.first(checked)))
        return refuse("its checksum does not match");

    const QString name = QString::fromUtf8(record.name);
    if (name.toUtf8() != record.name || storyFileNameProblem(name) || isSaveRecordFileName(record.name))
        return refuse("its file name is not one a story may have");
    return record;
}
