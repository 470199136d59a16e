// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CCellListCtrl;

// Makes the page's self-drawn controls readable by screen readers: the job list exposes its
// rows (current one focused and selected) and their cells, the trim slider its two ends as
// values. Safe to call more than once.
void InstallAccessibleControls();

// Tells screen readers that a cell of the job list changed: its text (its name) and, for a
// Progress cell, its value.
void AnnounceJobCell(CCellListCtrl* list, int row, int column);
