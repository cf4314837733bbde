// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "Form1.h"

#include "Accessibility.h"
#include "Announcements.h"
#include "ControlTable.h"
#include "FreeStoryName.h"
#include "QuietNotice.h"
#include "SaveMessages.h"
#include "SpellingBox.h"
#include "StoryText.h"
#include "WindowRegistry.h"

#include <QDesktopServices>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace {
using namespace Layout;

const WindowLayout form{"Form1", "Form1", 3945, 2385, QPoint(2865, 1875)};

// The two labels are wider than the window, which clips them.
const Control controls[] = {
    // name       kind                    in  caption                 left  top   width height tab
    {"Text1",    Kind::MultiLineTextBox, "", "",                     3240, 1920, 150,  285,  5},
    {"Command3", Kind::CommandButton,    "", "DONE!",                1080, 1920, 1935, 375,  4},
    {"Text3",    Kind::TextBox,          "", "",                     240,  1320, 3615, 375,  1},
    {"Text2",    Kind::TextBox,          "", "",                     240,  600,  3615, 405,  0},
    {"Label2",   Kind::Label,            "", "Enter Your Name Here", 240,  1080, 4815, 255,  3},
    {"Label1",   Kind::Label,            "", "Enter Full title here", 240, 120,  4815, 375,  2},
};

// A save that takes longer than this shows on the page that it is saving.
constexpr std::chrono::milliseconds ShowSavingAfter{100};

// The story field's text: the story with each line cut after its first
// StoryFieldLineLength characters (never inside a character).
constexpr qsizetype StoryFieldLineLength = 200;

QString storyFieldText(const QString &storyText)
{
    QStringList lines = storyText.split(QStringLiteral("\r\n"));
    for (QString &line : lines) {
        if (line.size() > StoryFieldLineLength)
            line.truncate(StoryFieldLineLength - (line.at(StoryFieldLineLength).isLowSurrogate() ? 1 : 0));
    }
    return lines.join(QLatin1Char('\n'));
}

// What screen readers say for the two boxes: their prompts. The story field
// is left out: ten pixels wide, it holds the laid-out story but is no place
// to read it.
const Desktop::SpokenName spoken[] = {
    {"Text2", nullptr, "Label1"},
    {"Text3", nullptr, "Label2"},
    {"Text1", nullptr},
};

// The full title is checked for spelling; the name is not (names are rarely
// in a dictionary).
const char *const spelled[] = {"Text2"};

} // namespace

Form1::Form1(StoryRecord &story, WindowRegistry &windows, const QString &storyRoot)
    : story(story), windows(windows), storyRoot(storyRoot), savingShown(new QTimer(this))
{
    buildWindow(this, form, controls);
    Desktop::nameForScreenReaders(this, spoken);
    Desktop::checkSpelling(this, spelled);

    // The story field is the small box right of "DONE!" that receives the
    // laid-out story. It stays on show but is only a display: the user can
    // neither type into it nor reach it with Tab. It never wraps, and it is
    // given only the start of each line (see storyFieldText), so that long
    // speeches cost no time laying out lines it could never show.
    auto *storyField = control<QPlainTextEdit>(this, "Text1");
    storyField->setReadOnly(true);
    storyField->setFocusPolicy(Qt::NoFocus);
    storyField->setLineWrapMode(QPlainTextEdit::NoWrap);
    storyField->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    storyField->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    savingShown->setSingleShot(true);
    savingShown->setInterval(ShowSavingAfter);

    connect(control<QPushButton>(this, "Command3"), &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(savingShown, &QTimer::timeout, this, &Form1::showSaving);
}

namespace {

// Saves still running when their page went, at the program's end.
QList<QThread *> &leftRunning()
{
    static QList<QThread *> saves;
    return saves;
}

} // namespace

// A save still running is not waited for: it may wait for the lock or a
// slow disk for seconds, and the program's end (a logout among them) must
// not. It is left to run until the program ends, which cuts it short as a
// kill would; its record makes the next start finish it.
Form1::~Form1()
{
    if (saver && !saver->isFinished()) {
        saver->disconnect(this);
        leftRunning().append(saver);
    } else {
        delete saver;
    }
}

bool Form1::saveLeftRunning()
{
    return std::any_of(leftRunning().cbegin(), leftRunning().cend(), [](QThread *save) { return save->isRunning(); });
}

QByteArray Form1::storyBytesOf(const Draft &draft)
{
    if (draft.window != QLatin1String(form.name))
        return {};
    StoryRecord page = draft.story;
    for (const Draft::Text &t : draft.texts) {
        if (t.window == QLatin1String(form.name) && t.box == QLatin1String("Text2"))
            page.FullTitle = t.text;
        else if (t.window == QLatin1String(form.name) && t.box == QLatin1String("Text3"))
            page.AuthorName = t.text;
    }
    return storyFileBytes(storyTextOf(page));
}

// Records the author's name, then the full title, exactly as typed; lays the
// story out into the story field and saves it. Only a saved story moves on
// to the main window: when the save fails the page stays as it is, says why,
// and "DONE!" can be pressed again once the cause is removed.
//
// The save runs on a thread of its own, so that the window paints and takes
// input while a slow disk or another copy's save holds it up; presses of
// "DONE!" meanwhile, or after the page has gone, do not save the story a
// second time.
void Form1::Command3_Click()
{
    if (saving || !isVisible())
        return;
    story.AuthorName = control<QLineEdit>(this, "Text3")->text();
    story.FullTitle = control<QLineEdit>(this, "Text2")->text();

    // The field shows the text, but the file gets the composed string itself:
    // a text box would hand its CR LF line breaks back as bare line feeds.
    const QString storyText = storyTextOf(story);
    control<QPlainTextEdit>(this, "Text1")->setPlainText(storyFieldText(storyText));
    save(story.StoryFilePath, storyText);
}

// Starts saving the story under storyFilePath; saveFinished() goes on.
void Form1::save(const QString &storyFilePath, const QString &storyText)
{
    if (saving)
        return;
    saving = true;
    windows.reportSaving(storyFilePath, storyText);
    run = std::make_shared<SaveRun>(SaveRun{storyFilePath, storyText, {}, {}});
    const std::shared_ptr<SaveRun> job = run;
    const QString root = storyRoot;
    saver = QThread::create([job, root] {
        job->error = saveStory(root, job->storyFilePath, job->storyText, SaveLockWait, &job->earlier);
    });
    connect(saver, &QThread::finished, this, &Form1::saveFinished);
    saver->start();
    savingShown->start();
}

// The save has taken a while: the page says so, and "DONE!" rests.
void Form1::showSaving()
{
    auto *done = control<QPushButton>(this, "Command3");
    Desktop::restKeyboardOnWindow(this, tr("Saving\u2026"), done);
    done->setEnabled(false);
    done->setText(tr("Saving\u2026"));
    setCursor(Qt::BusyCursor);
}

// Moves on to the main window, or says why the story was not saved; and
// tells about a save cut short that this one finished or set aside first.
void Form1::saveFinished()
{
    savingShown->stop();
    saver->wait();
    delete std::exchange(saver, nullptr);
    auto *done = control<QPushButton>(this, "Command3");
    done->setText(QStringLiteral("DONE!"));
    done->setEnabled(true);
    Desktop::restKeyboardOnWindow(this, {}, done);
    unsetCursor();
    const std::shared_ptr<SaveRun> finished = std::exchange(run, nullptr);
    saving = false;
    windows.reportSaveEnded();

    tellAboutEarlierSave(finished->earlier);
    if (finished->error) {
        showSaveError(*finished->error, finished->storyText);
        return;
    }
    story.StoryFilePath = finished->storyFilePath;
    const QString realPath = realPathOf(storyRoot, finished->storyFilePath);
    windows.reportStorySaved(realPath);
    Desktop::tellAsWindowComesUp(windows.made(Window::Form2), SaveMessages::savedSpoken(realPath));
    windows.HideWindow(Window::Form1);
    windows.ShowWindow(Window::Form2);
}

// A save cut short earlier, finished or set aside before this one: a line
// on standard error, and a window of its own that outlives this page.
void Form1::tellAboutEarlierSave(const Resolution &earlier)
{
    if (const QString line = SaveMessages::resolutionLine(earlier); !line.isEmpty())
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    QMessageBox *notice = unfinishedSaveNotice(earlier, SaveMessages::When::AtSave);
    if (!notice)
        return;
    notice->setAttribute(Qt::WA_DeleteOnClose);
    const QUrl folder = QUrl::fromLocalFile(storyRoot);
    connect(notice->findChild<QPushButton *>(QStringLiteral("showFolder")), &QPushButton::clicked, notice,
            [folder] { QDesktopServices::openUrl(folder); });
    Desktop::showQuietly(notice, notice->text());
}

// Tells the user what went wrong, where, and what to do, without blocking the
// program. The story text goes into the box's details, where it can be copied
// out even if the cause cannot be removed. When the name is taken, the box
// also offers the first free name with a number, which saves there at once.
void Form1::showSaveError(const SaveError &error, const QString &storyText)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Wrenfield"),
                                SaveMessages::saveErrorHeading(error), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("saveError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setInformativeText(SaveMessages::saveError(error));
    box->setDetailedText(storyText);
    if (error.number == EEXIST) {
        if (const std::optional<QString> freePath = nextFreeStoryFilePath(storyRoot, error.storyPath)) {
            const QString name = freePath->section(QLatin1Char('\\'), -1);
            QPushButton *saveAs = box->addButton(tr("Save as \u201c%1\u201d").arg(name), QMessageBox::AcceptRole);
            saveAs->setObjectName(QStringLiteral("saveAs"));
            connect(saveAs, &QPushButton::clicked, this, [=, this] { save(*freePath, storyText); });
        }
    }
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Ok);
    box->open();
}
