// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Makes the page's self-drawn controls readable by screen readers: the job list exposes its
// rows (current one focused and selected) and their cells, the trim slider its two ends as
// values. Safe to call more than once.
void InstallAccessibleControls();
