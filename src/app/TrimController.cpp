// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TrimController.h"

#include "engine/ConversionEngine.h"

#include <QAction>

TrimController::TrimController(ConversionEngine& engine, const JobList& jobs, QObject* parent)
    : QObject(parent), engine(engine), jobs(jobs),
      preview(new QAction(tr("Preview selected videos"), this)),
      stopPreview(new QAction(tr("Stop preview"), this)) {
    connect(&engine, &ConversionEngine::ConvertingChanged, this, &TrimController::UpdateActions);
    UpdateActions();
}

bool TrimController::CanTrim(int row) const {
    return jobs.IsValidIndex(row) && engine.IsEditable(jobs.At(row).id);
}

void TrimController::UpdateActions() {
    preview->setEnabled(!engine.IsConverting());
    stopPreview->setEnabled(!engine.IsConverting());
}
