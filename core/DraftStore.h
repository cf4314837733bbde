// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Wrenfield developers

#pragma once

#include "Draft.h"
#include "Places.h"
#include "UnfinishedSave.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>

// Where drafts live: a folder of the program's own that only its user may
// enter, with one draft file per running copy of the program:
//
//   draft, draft-2, draft-3, ...   the drafts, one per copy
//   lock                           one byte locked per draft name in use (an
//                                  open-file-description lock, so it goes
//                                  away with the copy that held it)
//   draft.new                      a draft being written, renamed over draft
//   draft.set-aside-DATE-TIME      a draft that could not be trusted, kept
//
// The folder's place is worked out in Places.h.

// A draft that a copy of the program left behind when it ended without
// saving its story or discarding it (a crash, a kill, a power cut, the end
// of the session).
struct LeftDraft {
    int slot = -1;  // which draft name
    QString path;
    Draft draft;
};

// What went wrong with the draft folder or a draft found in it, for the
// windows to put into words.
struct DraftTrouble {
    enum class Kind {
        FolderRefused,  // the folder is not used (EPERM: it is not the user's
                        // alone); drafts are not kept this run
        SetAside,       // a damaged draft was renamed out of the way, to keptAs
        NotSetAside,    // a damaged draft could not be renamed (error)
        Newer,          // a newer version of the program wrote it: left as it is
    };
    Kind kind = Kind::FolderRefused;
    DraftDamage damage = DraftDamage::None;
    int error = 0;   // an errno, when there is one
    QString path;    // the folder or the draft
    QString keptAs;  // where a damaged draft now is
};

// One running copy's drafts. leftDrafts(), adopt(), discard() and release()
// belong to the start, before the copy writes anything; write() and remove()
// may then run on other threads, two at a time.
class DraftStore {
public:
    explicit DraftStore(DraftPlace place);
    ~DraftStore();
    DraftStore(const DraftStore &) = delete;
    DraftStore &operator=(const DraftStore &) = delete;

    // Drafts whose copy no longer runs, newest first; a running copy's draft
    // is never among them. Each is held by this copy until it is adopted,
    // discarded or released. A draft that cannot be trusted (cut short, a
    // wrong checksum, too large, not a plain file, not the user's own or
    // readable by others) is renamed out of the way and kept; one a newer
    // version wrote is left as it is; each adds a trouble. With no folder
    // this costs one failed look-up.
    QList<LeftDraft> leftDrafts(QList<DraftTrouble> *troubles);

    // This copy goes on with that draft: its writes replace it from now on.
    void adopt(const LeftDraft &left);
    // Removes a left draft; 0 or an errno. When it cannot be removed, it is
    // rewritten as `saved` (the draft marked with its save) where the folder
    // allows, so that it is known as saved even without its story file.
    int discard(const LeftDraft &left, QByteArrayView saved = {});
    // Leaves a left draft for the next start to offer again.
    void release(const LeftDraft &left);

    // Replaces this copy's draft with bytes, whole or not at all: a new file
    // is written and synced, renamed over the old one, and the folder synced.
    // The first write makes the folder and takes a draft name that no other
    // running copy holds. Returns 0 or an errno; on failure the previous
    // draft stays as it was. Calls numbered by generation (1, 2, ...; 0: the
    // next) may overlap: one overtaken by a later generation, or by a later
    // removal, leaves the draft to it.
    int write(QByteArrayView bytes, quint64 generation = 0);
    // Removes this copy's draft (0 also when there is none) and syncs the
    // folder; writes of an earlier generation still under way are dropped.
    int remove(quint64 generation = 0);

    // This copy's draft file; empty until it has one.
    QString path() const;

private:
    int openFolder(bool make);
    int replace(const QByteArray &name, const QByteArray &temp, QByteArrayView bytes, quint64 generation);
    bool lockSlot(int slot, bool lock);
    int claimSlot();

    const DraftPlace place;
    int folder = -1;  // the open folder
    int lockFile = -1;
    int slot = -1;    // this copy's draft name
    int refusal = 0;  // why drafts cannot be kept in the folder, once known
    std::mutex mutex;  // between two writes under way at once
    quint64 newest = 0;  // the generation of the draft in place, or of its removal
};

// The file name of a draft slot: "draft", "draft-2", ...; and the slot a
// name stands for, or -1.
QByteArray draftFileName(int slot);
int draftSlotOf(QByteArrayView name);
inline constexpr int MaxDraftSlots = 64;

// Whether a left draft's story is already saved, which only the story
// folder can tell: a draft may outlive its save by a write still queued, a
// kill or a folder where it cannot be removed.
struct DraftStanding {
    enum class Kind {
        Unsaved,       // not saved: offered to go on with
        Saved,         // storyFile ends with the draft's story: never offered
        SaveSetAside,  // its save was cut short and set aside (see Resolution),
                       // its record kept in keptIn: offered, saying so
    };
    Kind kind = Kind::Unsaved;
    QString storyFile;
    QString keptIn;
    Draft::Save save;  // Saved: the mark that proves it
};

// The standing of a draft in the story folder storyRoot, after the start
// has resolved an unfinished save there (resolution): a draft marked with
// its save is saved when its story file ends with the marked bytes; one not
// yet marked when the resolved save was for its file, or, taken on the
// story page, when its file ends with pageStory, the bytes that page's
// "DONE!" would save (empty for a draft taken elsewhere).
DraftStanding standingOf(const Draft &draft, const QString &storyRoot, const Resolution &resolution,
                         const QByteArray &pageStory = {});
