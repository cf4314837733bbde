// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class DraftStore;

// The threads that lay drafts out and write them: two, so that a newer
// draft is written and synced while an older one still waits for a slow
// disk, and overtakes it. At most one draft waits beyond those: a newer one
// takes its place, so a slow disk never builds up a backlog. Removing the
// draft takes the place of a write still waiting, and overtakes one under
// way. Each finished job is told (0 or an errno) to `written`, on the thread
// of `receiver`, until detach().
class DraftWriter {
public:
    DraftWriter(DraftStore &store, QObject *receiver, std::function<void(int)> written);
    ~DraftWriter();  // finishes what it was handed
    DraftWriter(const DraftWriter &) = delete;
    DraftWriter &operator=(const DraftWriter &) = delete;

    void write(Draft draft);
    void remove();
    // The receiver goes; the writer tells nobody from now on.
    void detach();
    // True once everything asked for so far is done, waiting at most limit.
    bool waitFor(std::chrono::milliseconds limit);

private:
    void run();

    DraftStore &store;
    QObject *receiver;
    std::function<void(int)> written;
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<Draft> pending;
    bool removing = false;
    bool stopping = false;
    quint64 requested = 0;
    quint64 finished = 0;
    quint64 picked = 0;  // the generation of the last job taken
    std::thread threads[2];
};
