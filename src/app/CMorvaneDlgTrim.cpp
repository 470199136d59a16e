// SPDX-License-Identifier: GPL-3.0-or-later
// The main page: the trim slider, stills and the preview of a trimmed range.
#include "app/CMorvaneDlg.h"
#include "controls/ListMessages.h"

#include "app/JobListController.h"
#include "app/TrimController.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "engine/JobCellText.h"
#include "preview/CRangeSlider.h"
#include "preview/CVideoEdit.h"
#include "preview/RangeChangedEvent.h"

#include <QDir>
#include <QScopedValueRollback>

void CMorvaneDlg::customEvent(QEvent* event) {
    if (event->type() == ListGetCellInfoEvent::EventType) {
        OnGetCellInfo(static_cast<ListGetCellInfoEvent*>(event)->Info());
    } else if (event->type() == RangeChangedEventType) {
        const auto* changed = static_cast<RangeChangedEvent*>(event);
        OnRangeChanged(changed->WParam(), changed->LParam());
    }
}

void CMorvaneDlg::ResetTrimSlider() {
    ShowTrim(120.0, 0.0, 120.0);
}

void CMorvaneDlg::ShowTrim(double length, double begin, double end) {
    const QScopedValueRollback guard(rangeGuard, true);
    if (length >= 0.0)
        trimSlider->SetLimits(0.0, length);
    trimSlider->SetSelection(begin, end);
}

void CMorvaneDlg::LoadJob(int index) {
    if (!jobs.IsValidIndex(index))
        return;
    const Job job = jobs.At(index);
    double length = videoEdit->GetClipLength(job.sourcePath);
    if (length < 0)
        length = job.endTime; // the file has gone: keep the trim the job has
    ShowTrim(length, job.beginTime, job.endTime);
    ShowStill(job.sourcePath, job.beginTime);
    SelectRow(currentJob);
}

void CMorvaneDlg::OnRangeChanged(int part, int dragEnded) {
    const int mark = SelectionMark();
    if (!jobs.IsValidIndex(mark) || rangeGuard)
        return;
    const auto [left, right] = trimSlider->GetSelection();
    Job job = jobs.At(mark);
    job.beginTime = left;
    job.endTime = right;
    if (const Result<void> changed = listController->Change(mark, job); !changed) {
        ShowStatus(changed.error());
        const Job& kept = jobs.At(mark);
        ShowTrim(-1.0, kept.beginTime, kept.endTime);
        return;
    }
    const int first = std::min(currentJob, mark);
    const int last = std::max(currentJob, mark);
    jobList->InvalidateCells(first, last, int(JobColumn::BeginTime), false);
    jobList->InvalidateCells(first, last, int(JobColumn::EndTime), false);
    if (dragEnded == 0)
        return; // the picture follows only when the drag ends
    if (part == RangeChangedEvent::LeftEnd || part == RangeChangedEvent::BothEnds)
        ShowStill(job.sourcePath, left);
    else if (part == RangeChangedEvent::RightEnd)
        ShowStill(job.sourcePath, right);
}

void CMorvaneDlg::UpdateTrimEnabled() {
    // During a batch only a row that still waits can be trimmed; the others keep their range.
    trimSlider->setEnabled(!converting || trim->CanTrim(SelectionMark()));
}

void CMorvaneDlg::ShowStill(const QString& path, double time) {
    // The latest request wins: it replaces one still being decoded, whose picture would
    // belong to another job or to an end that has moved on since. The control decodes off
    // the UI thread and finds the nearest picture when the time holds none (a clip shorter
    // than the second a new file is shown at shows its last picture).
    stillPending = true;
    rangePlaying = false;
    videoEdit->RequestStill(path, time);
}

void CMorvaneDlg::OnPlayPosition() {
    if (!rangePlaying)
        videoEdit->StopPlayback();
    stillPending = false;
}

void CMorvaneDlg::OnStillFailed() {
    stillPending = false; // the window is black; the next request is shown as usual
}

void CMorvaneDlg::OnPreview() {
    if (!trim->PreviewAction()->isEnabled())
        return;
    const int mark = SelectionMark();
    if (!jobs.IsValidIndex(mark))
        return;
    rangePlaying = true;
    const Job job = jobs.At(mark);
    videoEdit->GetClipLength(job.sourcePath);
    videoEdit->CloseClip();
    stillPending = false; // a still not shown yet gives way to the preview
    videoEdit->SetBitsPerPixel(24);
    const double length = job.endTime - job.beginTime;
    if (!videoEdit->OpenClipRange(job.sourcePath, job.beginTime, length, 0) ||
        !videoEdit->SetClipRange(job.sourcePath, job.beginTime, length) || !videoEdit->Play()) {
        rangePlaying = false;
        ShowMessage(tr("%1 cannot be played.\n%2")
                        .arg(QDir::toNativeSeparators(job.sourcePath), videoEdit->LastError()),
                    tr("Error"), UserPrompts::Icon::Error);
    }
}

void CMorvaneDlg::OnStopPreview() {
    if (!trim->StopPreviewAction()->isEnabled() || !jobs.IsValidIndex(SelectionMark()))
        return;
    videoEdit->StopPlayback();
    rangePlaying = false;
}

void CMorvaneDlg::SetJobTime(int row, bool begin, double seconds) {
    if (!jobs.IsValidIndex(row))
        return;
    Job job = jobs.At(row);
    // Clamped as a drag of that end is: inside the clip, and never past the other end.
    double length = videoEdit->GetClipLength(job.sourcePath);
    if (length < 0)
        length = job.endTime;
    if (begin)
        job.beginTime = std::clamp(seconds, 0.0, std::max(job.endTime, 0.0));
    else
        job.endTime = std::clamp(seconds, std::min(job.beginTime, length), length);
    if (const Result<void> changed = listController->Change(row, job); !changed) {
        ShowStatus(changed.error()); // the row started while its time was typed
        return;
    }
    jobList->InvalidateCells(row, row, int(JobColumn::BeginTime), false);
    jobList->InvalidateCells(row, row, int(JobColumn::EndTime), false);
    if (row != currentJob)
        return;
    ShowTrim(-1.0, job.beginTime, job.endTime);
    ShowStill(job.sourcePath, begin ? job.beginTime : job.endTime);
}
