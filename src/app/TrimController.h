// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class ConversionEngine;
class JobList;
class QAction;

// When the trim and the preview apply: the preview plays while no batch runs (the encoders
// have the processor then), and a row's trim may change while the row may (always outside a
// batch, during one while it waits).
class TrimController : public QObject {
    Q_OBJECT
public:
    TrimController(ConversionEngine& engine, const JobList& jobs, QObject* parent = nullptr);

    QAction* PreviewAction() const { return preview; }
    QAction* StopPreviewAction() const { return stopPreview; }
    // Whether the trim of a row may change now.
    bool CanTrim(int row) const;

private:
    void UpdateActions();

    ConversionEngine& engine;
    const JobList& jobs;
    QAction* preview;
    QAction* stopPreview;
};
