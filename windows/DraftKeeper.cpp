// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "DraftKeeper.h"

#include "CheckedBytes.h"
#include "DraftStore.h"
#include "DraftWriter.h"
#include "QuietNotice.h"
#include "SaveMessages.h"
#include "StoryText.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>

#include <cstdio>
#include <utility>

DraftKeeper::DraftKeeper(WindowRegistry &windows, StoryRecord &story, DraftStore &store, QObject *parent)
    : QObject(parent), windows(windows), story(story), store(store)
{
    timer.setSingleShot(true);
    timer.setInterval(WriteDelayMs);

    connect(&timer, &QTimer::timeout, this, &DraftKeeper::submitWrite);
    connect(&windows, &WindowRegistry::edited, this, &DraftKeeper::noteEdit);
    connect(&windows, &WindowRegistry::shown, this, &DraftKeeper::noteShown);
    connect(&windows, &WindowRegistry::savingStory, this, &DraftKeeper::noteSaving);
    connect(&windows, &WindowRegistry::storySaved, this, &DraftKeeper::dropDraft);
    connect(&windows, &WindowRegistry::endRequested, this, &DraftKeeper::dropDraft);
    connect(&windows, &WindowRegistry::sessionEnding, this, &DraftKeeper::sessionEnds);
    // A checkpoint, or the first step of the session's end: the draft is
    // written, and nothing else changes (the end itself comes as "die").
    connect(qApp, &QGuiApplication::commitDataRequest, this, &DraftKeeper::submitWrite);
}

DraftKeeper::~DraftKeeper() = default;

namespace {

// The writer handed over when the windows go, with its last job.
std::unique_ptr<DraftWriter> &lastWriter()
{
    static std::unique_ptr<DraftWriter> writer;
    return writer;
}

} // namespace

void DraftKeeper::handOverWriter()
{
    if (!writer)
        return;
    writer->detach();
    lastWriter() = std::move(writer);
}

bool DraftKeeper::finishLastWrite(std::chrono::milliseconds limit)
{
    return !lastWriter() || lastWriter()->waitFor(limit);
}

// Drafts are kept while the story has unsaved work, and for the about
// window's text once it has changed.
bool DraftKeeper::keeping() const
{
    return windows.hasUnsavedWork() || contactEdited;
}

// A change is written within WriteDelayMs of the first change not yet
// written, not of the last one: steady typing is still written every second.
void DraftKeeper::noteEdit()
{
    if (restoring)
        return;
    if (windows.hasUnsavedWork())
        save = {};  // a story changed since its save is another story
    else
        contactEdited = true;
    changedMs = QDateTime::currentMSecsSinceEpoch();
    if (!timer.isActive())
        timer.start();
}

void DraftKeeper::noteShown(Window window)
{
    current = window;
    if (restoring || !keeping())
        return;
    changedMs = QDateTime::currentMSecsSinceEpoch();
    submitWrite();
}

// The story goes to the save: the draft is marked with what the save will
// write, so that the next start knows the story as saved once the file ends
// with it, whenever this run ends.
void DraftKeeper::noteSaving(const QString &storyFilePath, const QString &storyText)
{
    const QByteArray bytes = storyFileBytes(storyText);
    save = {storyFilePath, bytes.size(), sha256Hex(bytes)};
    submitWrite();
}

void DraftKeeper::startWriter()
{
    if (!writer)
        writer = std::make_unique<DraftWriter>(store, this, [this](int error) { noteWritten(error); });
}

void DraftKeeper::submitWrite()
{
    timer.stop();
    if (!keeping())
        return;
    startWriter();
    writer->write(snapshot());
}

// Once the story is on disk the draft has nothing left to keep; it goes
// before the main window shows, so that a crash then offers nothing twice.
// The same when the user ends the program: the work is thrown away by choice.
// The writer is handed the removal and the window goes on.
void DraftKeeper::dropDraft()
{
    timer.stop();
    contactEdited = false;
    if (!writer && store.path().isEmpty())
        return;  // nothing was ever written or taken over
    startWriter();
    writer->remove();
}

// The session ends ("die"): the windows close without asking, and the draft
// with what they hold now is handed to the writer.
void DraftKeeper::sessionEnds()
{
    sessionEnded = true;
    submitWrite();
}

bool DraftKeeper::finish(std::chrono::milliseconds limit)
{
    return !writer || writer->waitFor(limit);
}

std::chrono::milliseconds DraftKeeper::finishLimit() const
{
    using namespace std::chrono_literals;
    return sessionEnded ? 700ms : 60s;
}

namespace {

// The controls that make up a window's state: its own, not those of a
// message shown over it.
template <class T>
QList<T *> controlsOf(QWidget *window)
{
    QList<T *> found;
    for (T *control : window->findChildren<T *>()) {
        if (control->window() == window && !control->objectName().isEmpty())
            found.append(control);
    }
    return found;
}

} // namespace

Draft DraftKeeper::snapshot() const
{
    Draft draft;
    draft.story = story;
    draft.save = save;
    draft.window = WindowRegistry::nameOf(current);
    draft.changedMs = changedMs ? changedMs : QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < WindowCount; ++i) {
        QWidget *window = windows.window(static_cast<Window>(i));
        if (!window)
            continue;
        const QString name = WindowRegistry::nameOf(static_cast<Window>(i));
        for (QRadioButton *option : controlsOf<QRadioButton>(window)) {
            if (option->isChecked())
                draft.selected.append({name, option->objectName()});
        }
        for (QLineEdit *box : controlsOf<QLineEdit>(window))
            draft.texts.append({name, box->objectName(), box->text()});
        for (QPlainTextEdit *box : controlsOf<QPlainTextEdit>(window))
            draft.texts.append({name, box->objectName(), box->toPlainText()});
    }
    return draft;
}

void DraftKeeper::restore(const Draft &draft, bool saved)
{
    restoring = true;
    // Selecting an option records its code and typing into the title box
    // copies it, just as the user's own clicks and keys did; the record
    // then gets every field back as it was, including those (the speeches,
    // the file name) that the windows copy only on their buttons.
    for (const Draft::Selection &s : draft.selected) {
        if (const std::optional<Window> window = WindowRegistry::windowNamed(s.window)) {
            if (auto *option = windows.made(*window)->findChild<QRadioButton *>(s.option))
                option->setChecked(true);
        }
    }
    for (const Draft::Text &t : draft.texts) {
        const std::optional<Window> window = WindowRegistry::windowNamed(t.window);
        if (!window)
            continue;
        QWidget *made = windows.made(*window);
        if (auto *line = made->findChild<QLineEdit *>(t.box))
            line->setText(t.text);
        else if (auto *box = made->findChild<QPlainTextEdit *>(t.box))
            box->setPlainText(t.text);
    }
    story = draft.story;
    if (saved) {
        save = draft.save;
        contactEdited = true;  // the about window's text is what the draft keeps
    } else {
        windows.noteRestoredWork();
    }
    changedMs = draft.changedMs;
    restoring = false;
    windows.ShowWindow(WindowRegistry::windowNamed(draft.window).value_or(Window::frmgenre));
}

namespace {

const auto quoted = &SaveMessages::quoted;
const auto errorText = &SaveMessages::errorText;

QString damageText(DraftDamage damage, int error)
{
    switch (damage) {
    case DraftDamage::None:
    case DraftDamage::Unreadable: return errorText(error);
    case DraftDamage::NotADraft: return DraftKeeper::tr("it is not a draft");
    case DraftDamage::Newer: return DraftKeeper::tr("a newer Wrenfield wrote it");
    case DraftDamage::CutShort: return DraftKeeper::tr("it is cut short or its lengths are wrong");
    case DraftDamage::Checksum: return DraftKeeper::tr("its checksum does not match");
    case DraftDamage::TooLarge: return DraftKeeper::tr("it is larger than any draft");
    case DraftDamage::NotPlainFile: return DraftKeeper::tr("it is not a plain file");
    case DraftDamage::NotYours: return DraftKeeper::tr("it is not yours alone");
    }
    return errorText(error);
}

QString troubleText(const DraftTrouble &trouble)
{
    switch (trouble.kind) {
    case DraftTrouble::Kind::FolderRefused:
        return DraftKeeper::tr("Drafts of the story are not kept in %1 (%2); it must be a folder of yours that "
                               "only you may change.")
            .arg(quoted(trouble.path), trouble.error == EPERM ? damageText(DraftDamage::NotYours, 0)
                                                              : errorText(trouble.error));
    case DraftTrouble::Kind::SetAside:
        return DraftKeeper::tr("Set aside a damaged draft (%1) as %2; starting without it.")
            .arg(damageText(trouble.damage, trouble.error), quoted(trouble.keptAs));
    case DraftTrouble::Kind::NotSetAside:
        return DraftKeeper::tr("A damaged draft %1 (%2) could not be set aside (%3); starting without it.")
            .arg(quoted(trouble.path), damageText(trouble.damage, 0), errorText(trouble.error));
    case DraftTrouble::Kind::Newer:
        return DraftKeeper::tr("The draft %1 was written by a newer Wrenfield; it is left as it is.")
            .arg(quoted(trouble.path));
    }
    return {};
}

void printLine(const QString &text)
{
    std::fprintf(stderr, "Wrenfield: %s\n", text.toLocal8Bit().constData());
}

} // namespace

void DraftKeeper::tell(const QList<DraftTrouble> &troubles)
{
    for (const DraftTrouble &trouble : troubles) {
        printLine(troubleText(trouble));
        if (trouble.kind == DraftTrouble::Kind::FolderRefused)
            showTrouble(troubleText(trouble));
    }
}

// One line when drafts stop being kept, and the window once; one line when
// they are kept again.
void DraftKeeper::noteWritten(int error)
{
    if (error && !failing) {
        const QString text = tr("Could not keep a draft of the story (%1); typing goes on, but a crash now "
                                "would lose it.").arg(errorText(error));
        printLine(text);
        showTrouble(text);
    } else if (!error && failing) {
        printLine(tr("The draft of the story is kept again."));
    }
    failing = error != 0;
}

// Over the window the user is on, without taking the keyboard from it (the
// user may be typing), and told to screen readers at once.
void DraftKeeper::showTrouble(const QString &text)
{
    if (std::exchange(toldInWindow, true))
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Wrenfield"), text, QMessageBox::Ok,
                                windows.window(current));
    box->setObjectName(QStringLiteral("draftTrouble"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    Desktop::showQuietly(box, text);
}
