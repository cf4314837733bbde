// Save cost against the size of the staging file. Saves the same story into
// a fresh folder under the temp folder with no staging file, an empty one, a
// 1 MiB one and a 1 GiB sparse one, many times each, and prints the median
// time of saveStory and the bytes it read and wrote (rchar and wchar of
// /proc/self/io). The save renames the staging file and appends to it, so the
// time should stay flat and the bytes written equal the story's bytes.
//
//   wrenfield_bench_save [ROUNDS]      (default 21)

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const QString text = storyTextOf(sampleStory());
    const long long storyBytes = (text + QStringLiteral("\r\n")).toUtf8().size();
    const QString storyPath = QStringLiteral("c:\\CFSSOOMNPicnic.txt");

    std::printf("story: %lld bytes, %d saves per staging file, temp folder %s\n", storyBytes, rounds,
                qPrintable(QDir::tempPath()));
    std::printf("%-14s %12s %12s %10s %10s\n", "staging file", "median us", "max us", "wchar", "rchar");

    double emptyMedian = 0, gibMedian = 0;
    bool bytesRight = true;
    for (const Staging staging : {Staging::None, Staging::Empty, Staging::OneMiB, Staging::OneGiBSparse}) {
        std::vector<double> micros;
        long long maxWritten = 0, maxRead = 0, minWritten = -1;
        for (int round = 0; round < rounds; ++round) {
            QTemporaryDir dir;
            const QString root = dir.path() + QStringLiteral("/Wrenfield");
            QDir().mkpath(root);
            putStagingFile(root, staging);

            const IoCounters before = ioCounters();
            const auto start = std::chrono::steady_clock::now();
            const auto error = saveStory(root, storyPath, text);
            const auto end = std::chrono::steady_clock::now();
            const IoCounters after = ioCounters();
            if (error) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(error->message()));
                return 1;
            }
            micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            const long long written = after.wchar - before.wchar;
            const long long read = after.rchar - before.rchar - before.ownBytes;
            maxWritten = std::max(maxWritten, written);
            minWritten = minWritten < 0 ? written : std::min(minWritten, written);
            maxRead = std::max(maxRead, read);
        }
        const double med = median(micros);
        if (staging == Staging::Empty)
            emptyMedian = med;
        if (staging == Staging::OneGiBSparse)
            gibMedian = med;
        bytesRight = bytesRight && minWritten == storyBytes && maxWritten == storyBytes;
        std::printf("%-14s %12.1f %12.1f %10lld %10lld\n", nameOf(staging), med,
                    *std::max_element(micros.begin(), micros.end()), maxWritten, maxRead);
    }
    std::printf("time ratio 1 GiB / empty: %.2f (goal: flat, about 1)\n", gibMedian / emptyMedian);
    std::printf("bytes written %s the story's %lld bytes\n", bytesRight ? "equal" : "DO NOT equal", storyBytes);
    return bytesRight ? 0 : 1;
}
