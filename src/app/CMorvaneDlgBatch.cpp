// SPDX-License-Identifier: GPL-3.0-or-later
// The main page: starting, pausing and stopping a batch, its menu and its end.
#include "app/CMorvaneDlg.h"

#include "app/AccessibleControls.h"
#include "app/BatchController.h"
#include "app/BatchExtras.h"
#include "app/BatchSummary.h"
#include "app/JobListController.h"
#include "app/PowerControl.h"
#include "app/ShutdownCountdown.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "controls/CImageButton.h"
#include "engine/ErrorLog.h"
#include "engine/JobCellText.h"
#include "engine/QueueStore.h"
#include "engine/StoredSettings.h"
#include "preview/CRangeSlider.h"
#include "preview/CVideoEdit.h"
#include "profiles/OutputType.h"

#include <QAccessible>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <memory>

namespace {

// The jobs whose trimmed range holds nothing (end at or before begin), named for the user;
// empty when every range can be converted. Such a job would give a file of a few
// milliseconds that replaces a good earlier result.
QString EmptyRangeJobs(const JobList& jobs) {
    QStringList names;
    for (qsizetype i = 0; i < jobs.Count(); ++i) {
        const Job& job = jobs.At(i);
        if (!(job.endTime > job.beginTime))
            names.append(QDir::toNativeSeparators(job.sourcePath));
    }
    if (names.isEmpty())
        return {};
    return QCoreApplication::translate(
               "CMorvaneDlg", "Nothing was converted: the trimmed range of these files is empty "
                              "(the end must come after the begin):\n%1")
        .arg(names.join(u'\n'));
}

} // namespace

void CMorvaneDlg::OnStartConverting() {
    StartBatch(false);
}

void CMorvaneDlg::OnRetryFailed() {
    StartBatch(true);
}

void CMorvaneDlg::StartBatch(bool retryUnfinished) {
    if (!batch->StartAction()->isEnabled() || jobs.Count() < 1)
        return;
    if (const QString empty = EmptyRangeJobs(jobs); !empty.isEmpty()) {
        ShowMessage(empty, tr("Error"), UserPrompts::Icon::Error);
        return;
    }
    if (outputDirEdit->text().isEmpty()) {
        ShowMessage(ConversionEngine::NoOutputDirMessage(), tr("Error"), UserPrompts::Icon::Error);
        return;
    }
    BatchSettings settings;
    settings.outputType = static_cast<OutputType>(std::max(outputType->currentIndex(), 0));
    settings.profileSelection = SelectedProfile();
    settings.outputDir = outputDir;
    settings.capabilities = &capabilities;
    settings.simultaneousJobs =
        simultaneousJobs == 0 ? ConversionEngine::AutoSimultaneousJobs() : simultaneousJobs;
    settings.retryUnfinished = retryUnfinished;
    // What would stop every job is said before any question is asked.
    if (const Result<void> ready = ConversionEngine::CheckSettings(settings, &jobs); !ready) {
        ShowMessage(ready.error(), tr("Error"), UserPrompts::Icon::Error);
        return;
    }
    if (!extras->PrepareStart(settings, *prompts)) // the fit size; enough free space?
        return;
    if (shutdownBox->isChecked())
        CheckPowerOffAllowed();
    // Files of the outputs' names that exist already: the user says once what becomes of them.
    const QStringList existing = ConversionEngine::ExistingOutputNames(jobs, settings.outputType,
                                                                       outputDir, retryUnfinished);
    if (!existing.isEmpty()) {
        const std::optional<ExistingOutputs> choice = prompts->AskExistingOutputs(this, existing);
        if (!choice)
            return;
        settings.existing = *choice;
    }

    const BatchResult result = engine.StartBatch(jobs, settings);
    if (result.status == BatchResult::Status::Refused)
        ShowMessage(result.message, tr("Error"), UserPrompts::Icon::Error);
}

void CMorvaneDlg::OnBatchFinished(const BatchResult& result) {
    if (!result.Ran() || closing)
        return;
    if (result.status == BatchResult::Status::Completed && shutdownBox->isChecked()) {
        StartShutdownCountdown();
        return;
    }
    ShowBatchEnd();
}

void CMorvaneDlg::OnPauseConverting(bool pause) {
    engine.SetPaused(pause);
}

void CMorvaneDlg::OnStopAfterCurrent() {
    engine.StopAfterCurrentJobs();
}

void CMorvaneDlg::SetSimultaneousJobs(int jobsSideBySide) {
    if (!batch->IdleAction()->isEnabled())
        return;
    simultaneousJobs = std::clamp(jobsSideBySide, 0, ConversionEngine::MaxSimultaneousJobs);
    StoredSettings::StoreSimultaneousJobs(simultaneousJobs);
    queueKeeper->Changed();
    jobList->viewport()->update(); // the rows' time left
}

QMenu* CMorvaneDlg::CreateBatchMenu() {
    // Without a parent: the menu follows the desktop's look, as the dialogs do, and does not
    // take the page's fixed skin palette, under which a disabled item would look enabled.
    auto* menu = new QMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    batch->UpdateActions(); // the list's rows may have changed since
    menu->addActions({batch->PauseAction(), batch->StopAfterAction(), batch->RetryAction()});
    menu->addSeparator();
    QMenu* side = menu->addMenu(batch->IdleAction()->text());
    side->setEnabled(batch->IdleAction()->isEnabled());
    auto* choices = new QActionGroup(side);
    for (int n = 0; n <= ConversionEngine::MaxSimultaneousJobs; ++n) {
        QAction* choice =
            side->addAction(n == 0 ? tr("&Auto (%1)").arg(ConversionEngine::AutoSimultaneousJobs())
                                   : QStringLiteral("&%1").arg(n));
        choice->setCheckable(true);
        choice->setChecked(n == simultaneousJobs);
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, n] { SetSimultaneousJobs(n); });
    }
    extras->AddMenuItems(menu); // "Fit into", "Show log"
    // The list's own edits, also during a batch for the rows that wait.
    menu->addSeparator();
    menu->addActions({listController->MoveUpAction(), listController->MoveDownAction(),
                      listController->RemoveAction()});
    menu->addSeparator();
    menu->addActions({listController->OwnProfileAction(), listController->PageProfileAction()});
    return menu;
}

void CMorvaneDlg::ShowBatchMenu(QWidget* widget, const QPoint& position) {
    CreateBatchMenu()->popup(widget->mapToGlobal(position));
}

void CMorvaneDlg::UpdateTitle() {
    QString title = QStringLiteral("Morvane");
    if (converting) {
        const BatchProgress progress = engine.Progress();
        QString state = QStringLiteral("%1%").arg(progress.percent);
        if (engine.IsPaused())
            state += tr(" - paused");
        else if (progress.secondsLeft >= 0.0)
            state += QStringLiteral(" - ") + FormatTimeLeft(progress.secondsLeft);
        else
            state += tr(" - estimating");
        if (engine.StopsAfterCurrentJobs())
            state += tr(" - stopping after the current jobs");
        title = state + QStringLiteral(" - ") + title;
    }
    if (window()->windowTitle() == title)
        return;
    window()->setWindowTitle(title);
    // Screen readers hear the batch's share and time left as the window's name changes.
    QAccessibleEvent named(window(), QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
}

void CMorvaneDlg::ShowBatchEnd() {
    const BatchCounts counts = BatchCounts::Of(jobs);
    const QString caption = BatchEndCaption(counts);
    if (!window()->isActiveWindow())
        prompts->Notify(tr("Morvane: converting ended"), BatchEndSummary(counts));
    const QString folder = outputDir;
    prompts->BatchEndBox(this, BatchEndText(counts, ErrorLog::LogPlace()), caption,
                         counts.failed > 0 ? UserPrompts::Icon::Warning
                                           : UserPrompts::Icon::Information,
                         [this, folder] { prompts->OpenDocument(this, folder); });
}

void CMorvaneDlg::StartShutdownCountdown() {
    if (!window()->isActiveWindow())
        prompts->Notify(tr("Morvane: converting finished"),
                        tr("The computer shuts down in a minute."));
    countdown = std::make_unique<ShutdownCountdown>();
    // Queued: the countdown's box closes before any answer of the system is shown.
    connect(countdown.get(), &ShutdownCountdown::Expired, this, &CMorvaneDlg::ShutDownComputer,
            Qt::QueuedConnection);
    prompts->ShowCountdown(this, countdown.get());
    countdown->Start();
}

void CMorvaneDlg::OnStopConverting() {
    engine.CancelActiveJob();
}

bool CMorvaneDlg::ConfirmClose() {
    if (!converting || closing)
        return true;
    if (askingToClose)
        return false; // the question is on screen
    askingToClose = true;
    const auto returned = std::make_shared<bool>(false);
    closeQuestion = prompts->AskStopAndClose(this, [this, returned](bool stop) {
        askingToClose = false;
        if (!stop)
            return;
        PrepareToClose();
        if (*returned) // answered after the question returned: the window closes now
            QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
    });
    *returned = true;
    return closing;
}

bool CMorvaneDlg::CheckPowerOffAllowed() {
    QString reason;
    if (power->CanPowerOff(&reason))
        return true;
    shutdownBox->setChecked(false);
    QString text = tr("Your computer cannot shutdown");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    text += tr("\n\nConverting will not end with a shutdown.");
    ShowMessage(text, tr("Warning"), UserPrompts::Icon::Warning);
    return false;
}

void CMorvaneDlg::PrepareToClose() {
    closing = true;
    if (converting)
        OnStopConverting();
}

void CMorvaneDlg::RepaintProgressCell(JobId id) {
    const int row = int(jobs.IndexOf(id));
    if (row < 0)
        return;
    if (row == SelectionMark())
        UpdateTrimEnabled(); // it may have started
    // The output name may change too (a name taken meanwhile gets the next free one).
    jobList->InvalidateCells(row, row, int(JobColumn::Output), false);
    jobList->InvalidateCells(row, row, int(JobColumn::Progress), false);
    announcedRows.insert(row);
    if (!announceTimer->isActive())
        announceTimer->start();
}

void CMorvaneDlg::OnJobEnded(JobId id, JobStatus status) {
    const int row = int(jobs.IndexOf(id));
    if (status == JobStatus::Finished && row >= 0) {
        // The file's name stays on the row whatever type is chosen later; the type cannot
        // change during the batch.
        Job job = jobs.At(row);
        job.writtenName =
            job.outputName +
            OutputExtension(OutputTypeOf(
                job, static_cast<OutputType>(std::max(outputType->currentIndex(), 0))));
        jobs.Set(row, job);
    }
    RepaintProgressCell(id);
}

void CMorvaneDlg::ConvertingChanged(bool nowConverting) {
    converting = nowConverting;
    // No sleep in the middle of a batch; without logind the batch runs all the same.
    if (nowConverting)
        power->InhibitSleep(nullptr);
    else
        power->AllowSleep();
    EnableSettingsControls(!nowConverting);
    // What does nothing during a batch looks (and reads to a screen reader) disabled.
    UpdateTrimEnabled();
    if (!nowConverting)
        ShowStatus(QString()); // what was refused during the batch may be done now
    // A batch that ends while the user is asked whether to stop it: the question is moot.
    if (!nowConverting && closeQuestion != nullptr)
        closeQuestion->close();
    // Every row shows the batch's start (figures of the last batch cleared, names chosen for
    // existing files) and its end.
    jobList->viewport()->update();
    if (nowConverting)
        titleTimer->start();
    else
        titleTimer->stop();
    UpdateTitle();
    // The focus goes from Start to Stop and back, so the keyboard can stop what it started.
    const bool hadFocus = startButton->hasFocus() || stopButton->hasFocus();
    stopButton->setVisible(nowConverting);
    startButton->setVisible(!nowConverting);
    if (hadFocus)
        (nowConverting ? stopButton : startButton)->setFocus(Qt::TabFocusReason);
}
