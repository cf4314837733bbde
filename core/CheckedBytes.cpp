// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "CheckedBytes.h"

#include <QCryptographicHash>

QByteArray sha256Hex(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

void appendChecksumLine(QByteArray &out)
{
    out += "sha256 " + sha256Hex(out) + '\n';
}

bool ByteReader::literal(QByteArrayView text)
{
    ok = ok && bytes.sliced(position).startsWith(text);
    position += ok ? text.size() : 0;
    return ok;
}

bool ByteReader::skip(QByteArrayView text)
{
    const bool next = ok && bytes.sliced(position).startsWith(text);
    position += next ? text.size() : 0;
    return next;
}

std::uint64_t ByteReader::number(std::uint64_t max, char after)
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

QByteArray ByteReader::take(qsizetype size)
{
    ok = ok && size <= bytes.size() - position;
    const QByteArray taken = ok ? bytes.sliced(position, size).toByteArray() : QByteArray();
    position += ok ? size : 0;
    return taken;
}

QByteArray ByteReader::lowerHex(qsizetype size)
{
    const QByteArray hex = take(size);
    for (const char c : hex)
        ok = ok && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    return ok ? hex : QByteArray();
}

CheckedEnd ByteReader::checkEnd()
{
    const qsizetype checked = position;
    literal("sha256 ");
    const QByteArray checksum = take(ChecksumHexSize);
    literal("\n");
    if (!ok || position != bytes.size())
        return CheckedEnd::CutShort;
    return checksum == sha256Hex(bytes.first(checked)) ? CheckedEnd::Whole : CheckedEnd::ChecksumWrong;
}

const char *ByteReader::endWithChecksum()
{
    switch (checkEnd()) {
    case CheckedEnd::CutShort:
        return "it is cut short or its lengths are wrong";
    case CheckedEnd::ChecksumWrong:
        return "its checksum does not match";
    case CheckedEnd::Whole:
        break;
    }
    return nullptr;
}
