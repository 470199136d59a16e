// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "engine/JobList.h"

#include <QObject>

class ConversionEngine;
class QAction;

// The job list's edits and what may be edited when: adding, removing, moving and trimming
// rows. Outside a batch every row may change; during one only the rows that still wait for
// their turn (the engine says which), and the refusal says why. Its actions are enabled for
// what the current row allows.
class JobListController : public QObject {
    Q_OBJECT
public:
    JobListController(JobList& jobs, ConversionEngine& engine, QObject* parent = nullptr);

    QAction* AddAction() const { return add; }
    QAction* RemoveAction() const { return remove; }
    QAction* RemoveAllAction() const { return removeAll; }
    QAction* MoveUpAction() const { return moveUp; }
    QAction* MoveDownAction() const { return moveDown; }
    // "Use this type and profile for the selected rows" and its undoing.
    QAction* OwnProfileAction() const { return ownProfile; }
    QAction* PageProfileAction() const { return pageProfile; }

    // The row the actions act on (-1 for none); the actions follow it.
    void SetCurrentRow(int row);
    int CurrentRow() const { return currentRow; }
    // Whether a row may change now; fails with the reason for the status line.
    Result<void> CheckEditable(int row) const;

    // Appends a job (to the running batch too) and returns its row.
    int Append(const Job& job);
    // Removes a row; fails, changing nothing, when it may not change now.
    Result<void> Remove(int row);
    // Moves a row to another place in the list (the order of starting).
    Result<void> Move(int from, int to);
    // Sets a row's whole record (its trim, its own type and profile); fails, changing nothing,
    // when it may not change now.
    Result<void> Change(int row, const Job& job);
    // Gives a row its own output type and profile (type and profile -1: the page's again).
    Result<void> SetOwnProfile(int row, int type, int profile);
    // Empties the list (outside a batch only).
    void Clear();
    // The batch started or ended, or a job's state changed: the actions follow.
    void UpdateActions();

signals:
    // The list or a record changed.
    void Changed();

private:
    JobList& jobs;
    ConversionEngine& engine;
    int currentRow = -1;
    QAction* add;
    QAction* remove;
    QAction* removeAll;
    QAction* moveUp;
    QAction* moveDown;
    QAction* ownProfile;
    QAction* pageProfile;
};
