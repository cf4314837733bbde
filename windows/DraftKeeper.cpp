// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "DraftKeeper.h"

#include "DraftStore.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSessionManager>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

// The thread that lays drafts out and writes them. It holds at most one
// draft waiting to be written: a newer one takes its place, so a slow disk
// never builds up a backlog. Removing the draft takes the place of a write
// still waiting.
class DraftKeeper::Writer {
public:
    explicit Writer(DraftStore &store) : store(store), thread(&Writer::run, this) {}

    ~Writer()
    {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_all();
        thread.join();
    }

    void write(Draft draft)
    {
        {
            const std::lock_guard lock(mutex);
            pending = std::move(draft);
            removing = false;
            ++requested;
        }
        wake.notify_all();
    }

    void remove()
    {
        {
            const std::lock_guard lock(mutex);
            pending.reset();
            removing = true;
            ++requested;
        }
        wake.notify_all();
    }

    // Returns once everything asked for so far is done.
    void wait()
    {
        std::unique_lock lock(mutex);
        const quint64 target = requested;
        wake.wait(lock, [&] { return finished >= target; });
    }

private:
    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return stopping || pending || removing; });
            if (!pending && !removing)
                return;
            std::optional<Draft> draft = std::move(pending);
            pending.reset();
            const bool remove = removing;
            removing = false;
            const quint64 upTo = requested;
            lock.unlock();
            int error = 0;
            if (draft) {
                error = store.write(encodeDraft(*draft));
                draft.reset();  // lets go of the texts before anything else
            }
            if (remove)
                error = store.remove();
            report(error);
            lock.lock();
            finished = upTo;
            wake.notify_all();
        }
    }

    // One line when drafts stop being kept, one when they are kept again.
    void report(int error)
    {
        if (error && !failing)
            std::fprintf(stderr, "Wrenfield: could not keep a draft of the story (%s); typing goes on, "
                                 "but a crash now would lose it.\n", std::strerror(error));
        else if (!error && failing)
            std::fprintf(stderr, "Wrenfield: the draft of the story is kept again.\n");
        failing = error != 0;
    }

    DraftStore &store;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Draft> pending;
    bool removing = false;
    bool stopping = false;
    bool failing = false;
    quint64 requested = 0;
    quint64 finished = 0;
    std::thread thread;
};

DraftKeeper::DraftKeeper(WindowRegistry &windows, StoryRecord &story, DraftStore &store, QObject *parent)
    : QObject(parent), windows(windows), story(story), store(store)
{
    timer.setSingleShot(true);
    timer.setInterval(WriteDelayMs);

    connect(&timer, &QTimer::timeout, this, &DraftKeeper::submitWrite);
    connect(&windows, &WindowRegistry::edited, this, &DraftKeeper::noteEdit);
    connect(&windows, &WindowRegistry::shown, this, &DraftKeeper::noteShown);
    connect(&windows, &WindowRegistry::storySaved, this, &DraftKeeper::dropDraft);
    connect(&windows, &WindowRegistry::endRequested, this, &DraftKeeper::dropDraft);
    connect(&windows, &WindowRegistry::sessionEnding, this, &DraftKeeper::writeNow);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &DraftKeeper::sessionEnds);
}

DraftKeeper::~DraftKeeper() = default;

// A change is written within WriteDelayMs of the first change not yet
// written, not of the last one: steady typing is still written every second.
void DraftKeeper::noteEdit()
{
    if (restoring || !windows.hasUnsavedWork())
        return;
    changedMs = QDateTime::currentMSecsSinceEpoch();
    if (!timer.isActive())
        timer.start();
}

void DraftKeeper::noteShown(Window window)
{
    current = window;
    if (restoring || !windows.hasUnsavedWork())
        return;
    changedMs = QDateTime::currentMSecsSinceEpoch();
    submitWrite();
}

void DraftKeeper::submitWrite()
{
    timer.stop();
    if (!windows.hasUnsavedWork())
        return;
    if (!writer)
        writer = std::make_unique<Writer>(store);
    writer->write(snapshot());
}

void DraftKeeper::writeNow()
{
    submitWrite();
    if (writer)
        writer->wait();
}

// Once the story is on disk the draft has nothing left to keep; it goes
// before the main window shows, so that a crash then offers nothing twice.
// The same when the user ends the program: the work is thrown away by choice.
void DraftKeeper::dropDraft()
{
    timer.stop();
    if (!writer && store.path().isEmpty())
        return;  // nothing was ever written or taken over
    if (!writer)
        writer = std::make_unique<Writer>(store);
    writer->remove();
    writer->wait();
}

// The session manager wants everything kept now, and the program must
// neither ask nor hold the session up: the draft is written, and the
// windows then close without the question about unsaved work.
void DraftKeeper::sessionEnds(QSessionManager &)
{
    windows.endSession();
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

void DraftKeeper::restore(const Draft &draft)
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
    windows.noteRestoredWork();
    changedMs = draft.changedMs;
    restoring = false;
    windows.ShowWindow(WindowRegistry::windowNamed(draft.window).value_or(Window::frmgenre));
}

bool askToContinue(const Draft &draft)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Wrenfield"),
                    QObject::tr("Continue the story you were writing?"));
    box.setObjectName(QStringLiteral("draftQuestion"));
    // The title word is shown as it was typed: escaped, so that what looks
    // like markup in it is shown as text.
    const QString title = draft.story.TitleWord.isEmpty()
                            ? QObject::tr("It has no title word yet.")
                            : QObject::tr("Title word: \u201c%1\u201d").arg(draft.story.TitleWord.left(80).toHtmlEscaped());
    const QDateTime changed = QDateTime::fromMSecsSinceEpoch(draft.changedMs);
    box.setInformativeText(QStringLiteral("<p>%1<br>%2</p>")
                               .arg(title, QObject::tr("Last changed: %1")
                                               .arg(QLocale().toString(changed, QLocale::LongFormat).toHtmlEscaped())));
    QPushButton *keep = box.addButton(QObject::tr("&Continue"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    keep->setObjectName(QStringLiteral("continue"));
    discard->setObjectName(QStringLiteral("discard"));
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() != discard;
}
