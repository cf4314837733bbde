// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Checks properties of the story file name check, the path composition, the
// story text, the save record and the draft on arbitrary input. Built as a libFuzzer target by clang
// (WRENFIELD_FUZZ=ON) and, with replay.cpp, as a test that replays the
// inputs kept in fuzz/corpus.
//
// Input layout: the first byte holds flags; the rest is split at 0xFF bytes
// (never part of UTF-8) into fields:
//   0      the title word, UTF-8 (or UTF-16LE when flag bit 0 is set, which
//          can hold unpaired surrogates)
//   1..8   the eight codes, genre first
//   9..18  full title, author name, Speech1 ... Speech8
// Missing fields are empty. With flag bit 1 set the rest of the input is
// instead a save record, as the start-up reads it from disk; with flag bit 3
// set, a draft.

#include "CheckedBytes.h"
#include "Draft.h"
#include "SaveRecord.h"
#include "StoryFileName.h"
#include "StoryRecord.h"
#include "StorySave.h"
#include "StoryText.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

// Reports a broken property and aborts, so that libFuzzer keeps the input.
// Not assert(): it must hold in release builds too.
[[noreturn]] void fail(const char *property, const QString &detail)
{
    std::fprintf(stderr, "property broken: %s\n  %s\n", property, detail.toUtf8().constData());
    std::abort();
}

// detail is a callable that describes the input; it runs only on failure.
template <class Detail>
void check(bool holds, const char *property, Detail detail)
{
    if (!holds)
        fail(property, detail());
}

// The text for a report: printable ASCII as it is, everything else as \uXXXX.
QString shown(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += c.unicode() >= 0x20 && c.unicode() < 0x7f
                 ? QString(c)
                 : QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return out;
}

QString fromUtf16Le(const QByteArray &bytes)
{
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(std::uint8_t(bytes[i]) | std::uint8_t(bytes[i + 1]) << 8));
    return text;
}

QString withoutLineBreaks(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

// Separators, C0 and C1 controls, DEL, < > : " | ? * that many file systems
// reject, and the invisible characters that make a name look like another:
// bidirectional controls and line or paragraph separators.
bool hasRejectedCharacter(const QString &name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f) || (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069)
            || u == 0x2028 || u == 0x2029 || QStringView(u"/\\<>:\"|?*").contains(c))
            return true;
    }
    return false;
}

// An empty sandbox folder for the whole run, with the story folder inside it
// not yet made: saving makes the story folder only once the name has passed
// the check, so after a rejected name the sandbox must still be empty and
// unchanged. One stat() tells, which keeps the fuzzer fast.
struct Sandbox {
    QTemporaryDir dir;
    QString root = dir.path() + QStringLiteral("/stories");
    struct stat before = {};

    Sandbox()
    {
        if (!dir.isValid() || ::stat(QFile::encodeName(dir.path()).constData(), &before) != 0)
            fail("sandbox", dir.path());
    }

    bool untouched() const
    {
        struct stat now = {};
        return ::stat(QFile::encodeName(dir.path()).constData(), &now) == 0 && now.st_nlink == before.st_nlink
            && now.st_mtim.tv_sec == before.st_mtim.tv_sec && now.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
    }
};

void checkName(const QString &name)
{
    const QString root = QStringLiteral("/stories");
    if (isAcceptableStoryFileName(name)) {
        check(!name.isEmpty() && name != QLatin1String(".") && name != QLatin1String(".."),
              "an accepted name is a real name", [&] { return shown(name); });
        check(!hasRejectedCharacter(name), "an accepted name has no separator, control or rejected character",
              [&] { return shown(name); });
        const QByteArray encoded = name.toUtf8();
        check(encoded.size() <= 255, "an accepted name is at most 255 bytes encoded",
              [&] { return shown(name); });
        check(QString::fromUtf8(encoded) == name, "an accepted name decodes back to itself",
              [&] { return shown(name); });
        check(realPathOf(root, QStringLiteral("c:\\") + name) == root + QLatin1Char('/') + name,
              "an accepted name is one file directly in the story folder", [&] { return shown(name); });
        return;
    }

    // saveStory checks the name before anything else; it must fail and
    // leave the folders alone. No staging file, so an accepted name would
    // make a new file, which the check would see.
    static Sandbox sandbox;
    const auto error = saveStory(sandbox.root, QStringLiteral("c:\\") + name, QStringLiteral("story"));
    check(error.has_value(), "a rejected name is not saved", [&] { return shown(name); });
    check(sandbox.untouched(), "a rejected name never reaches the file system", [&] { return shown(name); });
}

void checkPath(const StoryRecord &story)
{
    const QString path = storyFilePathOf(story);
    const QString name = story.GenreCode + story.P1GenderCode + story.P1MaritalCode + story.P1PersonalityCode
                       + story.P1AgeCode + story.P2GenderCode + story.P2MaritalCode + story.P2PersonalityCode
                       + story.TitleWord + QStringLiteral(".txt");
    check(path == QStringLiteral("c:\\") + name, "the path is c:\\, the codes, the title word and .txt",
          [&] { return shown(path); });
    const QString root = QStringLiteral("/stories");
    if (isAcceptableStoryFileName(name))
        check(realPathOf(root, path) == root + QLatin1Char('/') + name,
              "a composed path with an accepted name lands directly in the story folder",
              [&] { return shown(path); });
}

void checkText(StoryRecord story)
{
    for (QString *field : {&story.FullTitle, &story.AuthorName, &story.Speech1, &story.Speech2, &story.Speech3,
                           &story.Speech4, &story.Speech5, &story.Speech6, &story.Speech7, &story.Speech8})
        *field = withoutLineBreaks(*field);

    const QString text = storyTextOf(story);
    check(text.count(QStringLiteral("\r\n")) == 13, "the story text has thirteen CR LF",
          [&] { return shown(text); });
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    check(lines.size() == 14, "the story text has fourteen lines", [&] { return shown(text); });
    for (const QString &line : lines)
        check(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')),
              "no lone CR or LF in the story text", [&] { return shown(text); });

    const QString space = QStringLiteral(" ");
    const std::array<QString, 14> expected{
        space + story.FullTitle, space + story.AuthorName, QString(),
        story.Speech1, space + story.Speech2, QString(),
        story.Speech3, space + story.Speech4, QString(),
        story.Speech5, space + story.Speech6, QString(),
        story.Speech7, space + story.Speech8,
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        check(lines[qsizetype(i)] == expected[i], "every field appears unchanged on its line",
              [&] { return QStringLiteral("line %1: %2").arg(i + 1).arg(shown(lines[qsizetype(i)])); });
}

// Whether raw bytes are a name that a record may hold: the name rule's, in
// UTF-8 that decodes back to the same bytes, and not one of the save's own.
bool isRecordableName(const QByteArray &name)
{
    const QString text = QString::fromUtf8(name);
    return text.toUtf8() == name && isAcceptableStoryFileName(text) && !isSaveRecordFileName(name);
}

// A record from disk is followed only when it is exactly what a save writes.
void checkRecordBytes(QByteArrayView bytes)
{
    const std::optional<SaveRecord> record = parseSaveRecord(bytes);
    const auto detail = [&] { return shown(QString::fromLatin1(bytes.toByteArray().toPercentEncoding())); };
    if (!record)
        return;
    check(encodeSaveRecord(*record) == bytes, "a record read back is written to the same bytes", detail);
    check(!record->hasStaging || record->stagingTail.size() == ChecksumHexSize,
          "a record with a staging file has the checksum of its end", detail);
    check(isRecordableName(record->name), "a record read names a file directly in the story folder", detail);
    check(record->story.size() <= MaxStoryBytes, "a record read holds a story of a size a save takes", detail);
}

// Any record a save writes reads back the same, unless its name is refused.
void checkRecordRoundTrip(const QByteArray &name, const QByteArray &story, std::uint8_t flags)
{
    SaveRecord record{name, false, 0, {}, story};
    if (flags & 4)
        record = {name, true, std::uint64_t(story.size()) << 20 | flags, stagingTailChecksum(name), story};
    const std::optional<SaveRecord> read = parseSaveRecord(encodeSaveRecord(record));
    check(read ? *read == record : !isRecordableName(name), "a record written reads back unless its name is refused",
          [&] { return shown(QString::fromUtf8(name)); });
}

// A draft from disk is taken only when it is exactly what the program writes.
void checkDraftBytes(QByteArrayView bytes)
{
    DraftDamage problem = DraftDamage::None;
    const std::optional<Draft> draft = parseDraft(bytes, &problem);
    const auto detail = [&] { return shown(QString::fromLatin1(bytes.toByteArray().toPercentEncoding())); };
    if (!draft) {
        check(problem != DraftDamage::None, "a refused draft says why", detail);
        return;
    }
    check(encodeDraft(*draft) == bytes, "a draft read back is written to the same bytes", detail);
    check(draft->selected.size() <= MaxDraftEntries && draft->texts.size() <= MaxDraftEntries,
          "a draft read names no more controls than a window has", detail);
}

// Any draft the program writes reads back the same, whatever its texts hold.
void checkDraftRoundTrip(const StoryRecord &story, const QString &text)
{
    Draft draft;
    draft.story = story;
    draft.window = QStringLiteral("mswfrm");
    draft.changedMs = story.Speech1.size();
    draft.save = {text, text.size() + 1, QByteArray(64, 'a')};
    draft.selected = {{QStringLiteral("frmp1"), QStringLiteral("Option26")}};
    draft.texts = {{QStringLiteral("Form3"), QStringLiteral("Label1(0)"), text}};
    const QByteArray bytes = encodeDraft(draft);
    const std::optional<Draft> read = parseDraft(bytes);
    check(read && encodeDraft(*read) == bytes && read->texts[0].text == text && read->story.TitleWord == story.TitleWord,
          "a draft written reads back", [&] { return shown(text); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    if (flags & 2) {
        checkRecordBytes(QByteArrayView(data + 1, qsizetype(size - 1)));
        return 0;
    }
    if (flags & 8) {
        checkDraftBytes(QByteArrayView(data + 1, qsizetype(size - 1)));
        return 0;
    }
    const QList<QByteArray> fields =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)).split('\xff');
    const auto field = [&](qsizetype i) {
        return i < fields.size() ? QString::fromUtf8(fields[i]) : QString();
    };

    StoryRecord story;
    story.TitleWord = flags & 1 ? fromUtf16Le(fields[0]) : field(0);
    QString *codes[] = {&story.GenreCode, &story.P1GenderCode, &story.P1MaritalCode, &story.P1PersonalityCode,
                        &story.P1AgeCode, &story.P2GenderCode, &story.P2MaritalCode, &story.P2PersonalityCode};
    QString *texts[] = {&story.FullTitle, &story.AuthorName, &story.Speech1, &story.Speech2, &story.Speech3,
                        &story.Speech4,   &story.Speech5,    &story.Speech6, &story.Speech7, &story.Speech8};
    qsizetype next = 1;
    for (QString *code : codes)
        *code = field(next++);
    for (QString *text : texts)
        *text = field(next++);

    checkName(story.TitleWord);
    checkPath(story);
    checkText(story);
    checkRecordRoundTrip(fields[0], fields.size() > 9 ? fields[9] : QByteArray(), flags);
    checkDraftRoundTrip(story, flags & 1 ? fromUtf16Le(fields.size() > 9 ? fields[9] : QByteArray()) : field(9));
    return 0;
}
