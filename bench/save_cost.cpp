// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

// Save cost against the size of the staging file. Saves the same story into
// a fresh folder under the temp folder with no staging file, an empty one, a
// 1 MiB one and a 1 GiB sparse one, many times each, and prints the median
// time of saveStory and the bytes it read and wrote (rchar and wchar of
// /proc/self/io). The save writes a record holding the story, renames the
// staging file and writes the story after its text, so the time should stay
// flat and the bytes written be twice the story's and a few hundred more.
// It reads only the staging file's end (at most StagingTailBytes), whose
// checksum goes into the record.
//
//   wrenfield_bench_save [ROUNDS]      (default 51)

#include "Median.h"
#include "SaveRecord.h"
#include "StorySave.h"
#include "StoryText.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

struct IoCounters {
    long long rchar = 0;
    long long wchar = 0;
    long long ownBytes = 0;  // what this reading itself added to rchar
};

// Reads /proc/self/io with plain system calls, so that the reading itself
// adds only its own bytes to rchar, which are taken off again.
IoCounters ioCounters()
{
    char buffer[1024];
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    const ssize_t n = fd < 0 ? -1 : ::read(fd, buffer, sizeof buffer - 1);
    if (fd >= 0)
        ::close(fd);
    IoCounters io;
    if (n <= 0)
        return io;
    buffer[n] = '\0';
    io.ownBytes = n;
    if (const char *r = std::strstr(buffer, "rchar:"))
        io.rchar = std::atoll(r + 6);
    if (const char *w = std::strstr(buffer, "wchar:"))
        io.wchar = std::atoll(w + 6);
    return io;
}

enum class Staging { None, Empty, OneMiB, OneGiBSparse };

const char *nameOf(Staging staging)
{
    switch (staging) {
    case Staging::None: return "none";
    case Staging::Empty: return "empty";
    case Staging::OneMiB: return "1 MiB";
    case Staging::OneGiBSparse: return "1 GiB sparse";
    }
    return "";
}

void putStagingFile(const QString &root, Staging staging)
{
    if (staging == Staging::None)
        return;
    QDir().mkpath(root + QStringLiteral("/program files"));
    QFile file(root + QStringLiteral("/program files/temp.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot make the staging file\n");
        std::exit(1);
    }
    if (staging == Staging::OneMiB)
        file.write(QByteArray(1 << 20, 'x'));
    else if (staging == Staging::OneGiBSparse)
        file.resize(qint64(1) << 30);
    // A staging file is normally long on disk: flush its bytes now, so that
    // the save's own sync does not pay for writing them.
    file.flush();
    ::fsync(file.handle());
}

StoryRecord sampleStory()
{
    StoryRecord story;
    story.FullTitle = QStringLiteral("A Day Out by the River");
    story.AuthorName = QStringLiteral("Ann Author");
    story.Speech1 = QStringLiteral("Shall we eat here, under the willow?");
    story.Speech2 = QStringLiteral("Only if you brought the good sandwiches.");
    story.Speech3 = QStringLiteral("I brought the ones you made.");
    story.Speech4 = QStringLiteral("Then we had better find the ducks.");
    story.Speech5 = QStringLiteral("It looks like rain.");
    story.Speech6 = QStringLiteral("It always looks like rain. Sit down.");
    story.Speech7 = QStringLiteral("Same time next week?");
    story.Speech8 = QStringLiteral("Same willow, better sandwiches.");
    return story;
}

} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;
    const QString text = storyTextOf(sampleStory());
    const long long storyBytes = (text + QStringLiteral("\r\n")).toUtf8().size();
    const QString storyPath = QStringLiteral("c:\\CFSSOOMNPicnic.txt");

    struct Result {
        std::vector<double> micros;
        long long minWritten = -1, maxWritten = 0, maxRead = 0;
    };
    const Staging stagings[] = {Staging::None, Staging::Empty, Staging::OneMiB, Staging::OneGiBSparse};
    Result results[std::size(stagings)];

    // Each round saves once with every kind of staging file, so that a busy
    // moment of the machine falls on all of them alike.
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t k = 0; k < std::size(stagings); ++k) {
            QTemporaryDir dir;
            const QString root = dir.path() + QStringLiteral("/Wrenfield");
            QDir().mkpath(root);
            putStagingFile(root, stagings[k]);

            const IoCounters before = ioCounters();
            const auto start = std::chrono::steady_clock::now();
            const auto error = saveStory(root, storyPath, text);
            const auto end = std::chrono::steady_clock::now();
            const IoCounters after = ioCounters();
            if (error) {
                std::fprintf(stderr, "save failed at step %d: errno %d\n", int(error->step), error->number);
                return 1;
            }
            Result &r = results[k];
            r.micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            const long long written = after.wchar - before.wchar;
            r.minWritten = r.minWritten < 0 ? written : std::min(r.minWritten, written);
            r.maxWritten = std::max(r.maxWritten, written);
            r.maxRead = std::max(r.maxRead, after.rchar - before.rchar - before.ownBytes);
        }
    }

    std::printf("story: %lld bytes, %d saves per staging file, temp folder %s\n", storyBytes, rounds,
                qPrintable(QDir::tempPath()));
    std::printf("%-14s %12s %12s %10s %10s\n", "staging file", "median us", "max us", "wchar", "rchar");
    // The record's own lines: its heading, lengths, the staging file's
    // identity and the checksum.
    const long long mostOverhead = 512;
    bool bytesRight = true;
    for (std::size_t k = 0; k < std::size(stagings); ++k) {
        const Result &r = results[k];
        bytesRight = bytesRight && r.minWritten >= 2 * storyBytes && r.maxWritten <= 2 * storyBytes + mostOverhead
                  && r.maxRead <= StagingTailBytes;
        std::printf("%-14s %12.1f %12.1f %10lld %10lld\n", nameOf(stagings[k]), median(r.micros),
                    *std::max_element(r.micros.begin(), r.micros.end()), r.maxWritten, r.maxRead);
    }
    std::printf("time ratio 1 GiB / empty: %.2f (goal: flat, about 1)\n",
                median(results[3].micros) / median(results[1].micros));
    std::printf("bytes written: %lld to %lld, 2 x the story's %lld bytes + %lld to %lld (goal: at most + %lld, "
                "read at most %lld) %s\n",
                results[0].minWritten, results[3].maxWritten, storyBytes, results[0].minWritten - 2 * storyBytes,
                results[3].maxWritten - 2 * storyBytes, mostOverhead, (long long)StagingTailBytes,
                bytesRight ? "ok" : "NOT MET");
    return bytesRight ? 0 : 1;
}
