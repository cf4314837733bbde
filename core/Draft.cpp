// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Draft.h"

#include "CheckedBytes.h"

#include <array>
#include <cstring>
#include <cstdint>
#include <limits>

namespace {

const QByteArrayView Heading = "Wrenfield draft\n";
const QByteArrayView VersionWord = "version ";
constexpr std::uint64_t Version = 1;

// The record's fields in the order a draft holds them, with their names.
struct Field {
    const char *name;
    QString StoryRecord::*member;
};
constexpr std::array<Field, 20> Fields{{
    {"GenreCode", &StoryRecord::GenreCode},
    {"P1GenderCode", &StoryRecord::P1GenderCode},
    {"P1MaritalCode", &StoryRecord::P1MaritalCode},
    {"P1PersonalityCode", &StoryRecord::P1PersonalityCode},
    {"P1AgeCode", &StoryRecord::P1AgeCode},
    {"P2GenderCode", &StoryRecord::P2GenderCode},
    {"P2MaritalCode", &StoryRecord::P2MaritalCode},
    {"P2PersonalityCode", &StoryRecord::P2PersonalityCode},
    {"TitleWord", &StoryRecord::TitleWord},
    {"StoryFilePath", &StoryRecord::StoryFilePath},
    {"Speech1", &StoryRecord::Speech1},
    {"Speech2", &StoryRecord::Speech2},
    {"Speech3", &StoryRecord::Speech3},
    {"Speech4", &StoryRecord::Speech4},
    {"Speech5", &StoryRecord::Speech5},
    {"Speech6", &StoryRecord::Speech6},
    {"Speech7", &StoryRecord::Speech7},
    {"Speech8", &StoryRecord::Speech8},
    {"FullTitle", &StoryRecord::FullTitle},
    {"AuthorName", &StoryRecord::AuthorName},
}};

// Text as UTF-16 little-endian code units, whatever they are.
void appendText(QByteArray &out, const QString &text)
{
    out += QByteArray::number(text.size() * 2) + '\n';
    const qsizetype start = out.size();
    out.resize(start + text.size() * 2);
    char *to = out.data() + start;
    for (const QChar c : text) {
        *to++ = char(c.unicode() & 0xff);
        *to++ = char(c.unicode() >> 8);
    }
    out += '\n';
}

bool isName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > MaxDraftNameSize)
        return false;
    for (const char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '(' || c == ')'))
            return false;
    }
    return true;
}

// Walks through a draft; every read fails once one has failed.
class Reader : public ByteReader {
public:
    using ByteReader::ByteReader;

    // A name of the allowed form, followed by the byte after.
    QString name(char after)
    {
        const qsizetype start = position;
        while (ok && position < bytes.size() && bytes[position] != after && position - start <= MaxDraftNameSize)
            ++position;
        const QByteArrayView found = ok ? bytes.sliced(start, position - start) : QByteArrayView();
        ok = ok && isName(found) && literal(QByteArrayView(&after, 1));
        return ok ? QString::fromLatin1(found) : QString();
    }

    // A length line, that many bytes of UTF-16 and a line break.
    QString text()
    {
        const qsizetype size = qsizetype(number(std::uint64_t(MaxDraftBytes), '\n'));
        ok = ok && size % 2 == 0 && size <= bytes.size() - position;
        QString text;
        if (ok) {
            text.resize(size / 2);
            const auto *from = reinterpret_cast<const std::uint8_t *>(bytes.data() + position);
            for (QChar &c : text) {
                c = QChar(char16_t(from[0] | from[1] << 8));
                from += 2;
            }
            position += size;
        }
        literal("\n");
        return text;
    }
};

} // namespace

QByteArray encodeDraft(const Draft &draft)
{
    QByteArray out = Heading.toByteArray() + VersionWord.toByteArray() + QByteArray::number(Version) + '\n';
    out += "changed " + QByteArray::number(draft.changedMs) + '\n';
    out += "save " + QByteArray::number(draft.save.size) + '\n';
    if (draft.save.size > 0) {
        out += draft.save.sha256 + '\n';
        appendText(out, draft.save.storyFilePath);
    }
    out += "window " + draft.window.toLatin1() + '\n';
    for (const Field &field : Fields) {
        out += QByteArray("field ") + field.name + ' ';
        appendText(out, draft.story.*field.member);
    }
    out += "selected " + QByteArray::number(draft.selected.size()) + '\n';
    for (const Draft::Selection &s : draft.selected)
        out += s.window.toLatin1() + ' ' + s.option.toLatin1() + '\n';
    out += "texts " + QByteArray::number(draft.texts.size()) + '\n';
    for (const Draft::Text &t : draft.texts) {
        out += t.window.toLatin1() + ' ' + t.box.toLatin1() + ' ';
        appendText(out, t.text);
    }
    appendChecksumLine(out);
    return out;
}

std::optional<Draft> parseDraft(QByteArrayView bytes, DraftDamage *damage)
{
    const auto refuse = [&](DraftDamage why) -> std::optional<Draft> {
        if (damage)
            *damage = why;
        return std::nullopt;
    };
    if (bytes.size() > MaxDraftBytes)
        return refuse(DraftDamage::TooLarge);
    Reader in(bytes);
    Draft draft;
    if (!in.literal(Heading) || !in.literal(VersionWord))
        return refuse(DraftDamage::NotADraft);
    const std::uint64_t version = in.number(std::numeric_limits<std::uint32_t>::max(), '\n');
    if (in.ok && version > Version)
        return refuse(DraftDamage::Newer);
    if (version != Version)
        return refuse(DraftDamage::NotADraft);

    in.literal("changed ");
    draft.changedMs = qint64(in.number(std::uint64_t(std::numeric_limits<qint64>::max()), '\n'));
    in.literal("save ");
    draft.save.size = qint64(in.number(std::uint64_t(MaxDraftBytes), '\n'));
    if (draft.save.size > 0) {
        draft.save.sha256 = in.lowerHex(64);
        in.literal("\n");
        draft.save.storyFilePath = in.text();
    }
    in.literal("window ");
    draft.window = in.name('\n');
    for (const Field &field : Fields) {
        in.literal("field ");
        in.literal(field.name);
        in.literal(" ");
        draft.story.*field.member = in.text();
    }
    in.literal("selected ");
    const auto selections = qsizetype(in.number(MaxDraftEntries, '\n'));
    for (qsizetype i = 0; in.ok && i < selections; ++i) {
        Draft::Selection s;
        s.window = in.name(' ');
        s.option = in.name('\n');
        draft.selected.append(s);
    }
    in.literal("texts ");
    const auto texts = qsizetype(in.number(MaxDraftEntries, '\n'));
    for (qsizetype i = 0; in.ok && i < texts; ++i) {
        Draft::Text t;
        t.window = in.name(' ');
        t.box = in.name(' ');
        t.text = in.text();
        draft.texts.append(t);
    }
    if (const char *wrong = in.endWithChecksum())
        return refuse(std::strstr(wrong, "checksum") ? DraftDamage::Checksum : DraftDamage::CutShort);
    return draft;
}
