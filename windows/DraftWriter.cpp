// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#include "DraftWriter.h"

#include "DraftStore.h"

#include <algorithm>
#include <utility>

DraftWriter::DraftWriter(DraftStore &store, QObject *receiver, std::function<void(int)> written)
    : store(store), receiver(receiver), written(std::move(written)),
      threads{std::thread(&DraftWriter::run, this), std::thread(&DraftWriter::run, this)}
{
}

DraftWriter::~DraftWriter()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread &thread : threads)
        thread.join();
}

void DraftWriter::write(Draft draft)
{
    {
        const std::lock_guard lock(mutex);
        pending = std::move(draft);
        removing = false;
        ++requested;
    }
    wake.notify_all();
}

void DraftWriter::remove()
{
    {
        const std::lock_guard lock(mutex);
        pending.reset();
        removing = true;
        ++requested;
    }
    wake.notify_all();
}

void DraftWriter::detach()
{
    const std::lock_guard lock(mutex);
    receiver = nullptr;
}

bool DraftWriter::waitFor(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex);
    const quint64 target = requested;
    return wake.wait_for(lock, limit, [&] { return finished >= target; });
}

void DraftWriter::run()
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
        const quint64 generation = ++picked;
        lock.unlock();
        int error = 0;
        if (draft) {
            error = store.write(encodeDraft(*draft), generation);
            draft.reset();  // lets go of the texts before anything else
        }
        if (remove)
            error = store.remove(generation);
        lock.lock();
        // Told on the receiver's thread, which words it.
        if (receiver)
            QMetaObject::invokeMethod(receiver, [told = written, error] { told(error); }, Qt::QueuedConnection);
        finished = std::max(finished, upTo);  // an overtaken write ends after a newer one
        wake.notify_all();
    }
}
