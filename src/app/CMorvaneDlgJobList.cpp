// SPDX-License-Identifier: GPL-3.0-or-later
// The main page: the job list, adding and removing files, typed times.
#include "app/CMorvaneDlg.h"

#include "app/BatchExtras.h"
#include "app/JobListController.h"
#include "app/TimeCellEditor.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "controls/CFadePicture.h"
#include "controls/CImageButton.h"
#include "engine/JobCellText.h"
#include "engine/StoredSettings.h"
#include "media/AppPaths.h"
#include "media/MediaProbe.h"
#include "preview/CVideoEdit.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>

namespace {

// The file types the Add dialog offers; a folder added adds its files of these types.
const QStringList videoExtensions{"avi", "mpg", "mpeg", "vob", "mp4", "m4v",  "mkv", "webm", "ogv",
                                  "mov", "qt",  "wmv",  "asf", "rm",  "rmvb", "3gp", "3g2"};

const QStringList audioExtensions{"wav", "wma", "mp3", "m4a", "flac", "ogg"};

QString Patterns(const QStringList& extensions, const QString& separator) {
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns.append(QStringLiteral("*.") + extension);
    return patterns.join(separator);
}

// Files and folders as the user named them, folders replaced by their media files (sorted
// by name, not looking into subfolders or at hidden files). A folder without any is named in
// *problems.
QStringList ExpandFolders(const QStringList& paths, QStringList* problems) {
    QStringList files;
    const QStringList patterns =
        Patterns(videoExtensions + audioExtensions, QStringLiteral(";")).split(u';');
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            files.append(path);
            continue;
        }
        const QFileInfoList inside =
            QDir(path).entryInfoList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
        if (inside.isEmpty())
            problems->append(QCoreApplication::translate("CMorvaneDlg", "%1 holds no media files.")
                                 .arg(QDir::toNativeSeparators(path)));
        for (const QFileInfo& file : inside)
            files.append(file.absoluteFilePath());
    }
    return files;
}

// The colours of the job list's rows: even rows, odd rows.
struct RowColours {
    QColor text, background, selectedText, selectedUnfocused, selectedFocused, hotText;
};

const RowColours rowColours[2] = {
    {QColor(10, 5, 20), QColor(180, 180, 255), QColor(240, 200, 128), QColor(20, 20, 120),
     QColor(30, 50, 96), QColor(170, 10, 150)},
    {QColor(40, 10, 40), QColor(220, 220, 255), QColor(240, 250, 128), QColor(20, 60, 120),
     QColor(30, 50, 96), QColor(170, 10, 150)},
};

} // namespace

int CMorvaneDlg::SelectionMark() const {
    return jobList->GetSelectionMark();
}

void CMorvaneDlg::OnGetCellInfo(CellInfo& cell) {
    const RowColours& colours = rowColours[cell.row % 2];
    cell.textColour = colours.text;
    cell.backgroundColour = colours.background;
    cell.selectedTextColour = colours.selectedText;
    cell.selectedBackgroundUnfocused = colours.selectedUnfocused;
    cell.selectedBackgroundFocused = colours.selectedFocused;
    cell.hotTextColour = colours.hotText;
    if (!jobs.IsValidIndex(cell.row) || cell.column < 0 || cell.column >= JobColumnCount)
        return;
    const Job& job = jobs.At(cell.row);
    const auto column = static_cast<JobColumn>(cell.column);
    if (column != JobColumn::Progress) {
        const bool own = job.ownProfile >= 0 && IsValidOutputType(job.ownOutputType);
        cell.text = JobCellText(job, column, own ? job.ownOutputType : outputType->currentIndex());
        if (column == JobColumn::Source) // two files of one name from two folders differ here
            cell.toolTip = QDir::toNativeSeparators(job.sourcePath);
        if (column == JobColumn::Output && extras != nullptr) // its name and expected size
            cell.toolTip = extras->OutputToolTip(job, cell.text);
        if (column == JobColumn::Output && own)
            cell.toolTip =
                OwnProfileText(job) +
                (cell.toolTip.isEmpty() ? QString() : QStringLiteral("\n\n") + cell.toolTip);
        return;
    }
    const ProgressCell progress = JobProgressCell(job, simultaneousJobs != 1);
    cell.text = progress.text;
    if (progress.hasBar) {
        cell.progressRange = progress.range;
        cell.progressPosition = progress.position;
        cell.progressBarColour = QColor(progress.barRed, progress.barGreen, progress.barBlue);
    }
    DressProgressCell(job, cell);
}

void CMorvaneDlg::DressProgressCell(const Job& job, CellInfo& cell) {
    if (job.status == JobStatus::Finished) {
        // A full green bar: the job is done and its file is there.
        cell.progressBarColour = QColor(40, 140, 60);
        cell.progressTextColour = Qt::white;
    } else if (cell.progressRange > 0) {
        // Running: a calm blue, white text over the filled part.
        cell.progressBarColour = QColor(37, 99, 212);
        cell.progressTextColour = Qt::white;
    }
    if (job.status == JobStatus::FirstPass && cell.progressRange > 0) {
        // The whole status line does not fit the column; the bar shows the share and the
        // time left, the tooltip the whole line.
        cell.barText =
            QStringLiteral("%1%  ").arg(cell.progressPosition) +
            (job.secondsLeft >= 0.0 ? FormatTimeLeft(job.secondsLeft) : tr("estimating"));
        cell.toolTip = cell.text;
    }
    if (IsRunning(job.status) && engine.IsPaused()) {
        if (cell.progressRange > 0)
            cell.barText = tr("Paused  %1%").arg(cell.progressPosition);
        else
            cell.text = cell.text.isEmpty() ? tr("Paused") : cell.text + tr(" (paused)");
    } else if (job.status == JobStatus::Waiting && converting && engine.StopsAfterCurrentJobs()) {
        cell.text = tr("Not started: stopping after the current jobs");
    }
    if (job.status == JobStatus::Failed) {
        cell.textColour = QColor(150, 0, 0);
        cell.backgroundColour = QColor(255, 215, 215);
        cell.ignoreSelection = true;
        cell.toolTip = job.failReason;
    }
}

QString CMorvaneDlg::OwnProfileText(const Job& job) const {
    if (!profileTitles.contains(job.ownOutputType))
        profileTitles.insert(
            job.ownOutputType,
            ReadProfileList(AppPaths::ProfileDirs(), static_cast<OutputType>(job.ownOutputType))
                .titles);
    const QString title = profileTitles.value(job.ownOutputType)
                              .value(job.ownProfile, tr("profile %1").arg(job.ownProfile + 1));
    return tr("Its own type and profile:\n%1\n%2")
        .arg(OutputTypeTitle(static_cast<OutputType>(job.ownOutputType)), title);
}

void CMorvaneDlg::SetRowProfile(bool own) {
    const int row = SelectionMark();
    if (!jobs.IsValidIndex(row))
        return;
    const int profile = own ? SelectedProfile() : -1;
    if (own && profile < 0) {
        ShowStatus(tr("Select a profile first."));
        return;
    }
    if (const Result<void> set =
            listController->SetOwnProfile(row, outputType->currentIndex(), profile);
        !set) {
        ShowStatus(set.error());
        return;
    }
    jobList->InvalidateCells(row, row, int(JobColumn::Output), false);
}

void CMorvaneDlg::RefreshList() {
    jobList->SetItemCount(int(jobs.Count()));
    const int mark = SelectionMark();
    jobList->RedrawItems(mark, mark);
}

void CMorvaneDlg::SelectRow(int index) {
    jobList->SetSelectionMark(index);
    listController->SetCurrentRow(index);
    UpdateTrimEnabled();
    jobList->SetItemSelected(index);
    jobList->setFocus();
    jobList->EnsureVisible(index, true);
}

void CMorvaneDlg::AddFile() {
    const QStringList paths =
        prompts->OpenFiles(this, QtFileFilter(), StoredSettings::LoadAddFolder());
    if (paths.isEmpty())
        return;
    const QFileInfo first(paths.first());
    StoredSettings::StoreAddFolder(first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    AddFiles(paths);
}

bool CMorvaneDlg::AddPath(const QString& path, QString* error) {
    QString reason;
    const double length = videoEdit->GetClipLength(path, &reason);
    if (length >= 0 && IsStillPicture(path))
        reason = tr("It is a still picture, not a video or a sound: there is nothing "
                    "to convert.");
    if (length < 0 || !reason.isEmpty()) {
        if (error != nullptr)
            *error = tr("%1 cannot be added.\n%2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    videoEdit->show();
    videoFrame->hide();
    listController->Append(Job::FromPath(QDir::toNativeSeparators(path), length));
    ResetTrimSlider();
    RefreshList();
    currentJob = int(jobs.Count()) - 1;
    ShowTrim(length, 0.0, length);
    ShowStill(path, 1.0);
    SelectRow(currentJob);
    return true;
}

void CMorvaneDlg::AddFiles(const QStringList& paths) {
    QStringList problems;
    for (const QString& path : ExpandFolders(paths, &problems)) {
        QString error;
        if (!AddPath(path, &error))
            problems.append(error);
    }
    if (!problems.isEmpty())
        ShowMessage(problems.join(QStringLiteral("\n\n")), tr("Error"), UserPrompts::Icon::Error);
}

void CMorvaneDlg::RemoveSelected() {
    const int mark = SelectionMark();
    if (!jobs.IsValidIndex(mark))
        return;
    if (const Result<void> removed = listController->Remove(mark); !removed) {
        ShowStatus(removed.error());
        return;
    }
    RefreshList();
    jobList->viewport()->update(); // the rows below moved up
    if (jobs.Count() == 0) {
        currentJob = -1;
        videoEdit->CloseClip();
        stillPending = false;
        ResetTrimSlider();
        return;
    }
    currentJob = std::min(mark, int(jobs.Count()) - 1);
    LoadJob(currentJob);
}

void CMorvaneDlg::RemoveAll() {
    if (!listController->RemoveAllAction()->isEnabled() || jobs.Count() == 0)
        return;
    // The whole list, trims and all, is gone at once: the user says so first.
    if (jobs.Count() > 1 &&
        !prompts->Confirm(this, tr("Remove all %1 videos from the list?").arg(jobs.Count()),
                          tr("Remove all"), tr("Remove all"), tr("Keep them")))
        return;
    listController->Clear();
    jobList->DeleteAllItems();
    currentJob = -1;
    videoEdit->CloseClip();
    stillPending = false;
    ResetTrimSlider();
}

void CMorvaneDlg::OnListClick() {
    const int mark = SelectionMark();
    if (mark != currentJob && jobs.IsValidIndex(mark)) {
        currentJob = mark;
        LoadJob(mark);
    } else if (currentJob >= 0) {
        SelectRow(currentJob);
    }
}

void CMorvaneDlg::MoveJob(int from, int to) {
    if (const Result<void> moved = listController->Move(from, to); !moved) {
        ShowStatus(moved.error());
        return;
    }
    if (!jobs.IsValidIndex(to))
        return;
    currentJob = to;
    jobList->viewport()->update(); // every row between the two places changed
    SelectRow(currentJob);
}

bool CMorvaneDlg::HandleListKey(const QKeyEvent& event) {
    const int key = event.key();
    const int mark = SelectionMark();
    const int count = int(jobs.Count());
    if (event.modifiers() & Qt::ControlModifier) {
        if (key == Qt::Key_Up && mark > 0)
            MoveJob(mark, mark - 1);
        else if (key == Qt::Key_Down && mark >= 0 && mark + 1 < count)
            MoveJob(mark, mark + 1);
        if (key == Qt::Key_Up || key == Qt::Key_Down)
            return true;
    }
    int target = -1;
    switch (key) {
    case Qt::Key_PageUp:
        if (mark > 0)
            target = std::max(mark - 3, 0);
        break;
    case Qt::Key_PageDown:
        if (mark < count - 1)
            target = std::min(mark + 3, count - 1);
        break;
    case Qt::Key_End:
        if (count >= 1)
            target = count - 1;
        break;
    case Qt::Key_Home:
        if (count >= 1)
            target = 0;
        break;
    case Qt::Key_Up:
        if (mark > 0)
            target = mark - 1;
        break;
    case Qt::Key_Down:
        if (mark < jobList->GetItemCount() - 1)
            target = mark + 1;
        break;
    case Qt::Key_Delete:
        RemoveSelected();
        return true;
    default:
        return false;
    }
    if (target >= 0) {
        currentJob = target;
        LoadJob(target);
    }
    SelectRow(currentJob);
    return true;
}

bool CMorvaneDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == browseButton && type == QEvent::KeyPress &&
            (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            browseButton->click(); // a focused button takes Return as Space
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            return true; // never closes the window or presses a button
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return false; // the list never keeps the focus from the next control
        if (watched == jobList && type == QEvent::KeyPress)
            return HandleListKey(*static_cast<QKeyEvent*>(event));
    }
    if (watched == jobList->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
            type == QEvent::MouseButtonRelease)
            FollowRowDrag(*static_cast<QMouseEvent*>(event));
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (type == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData()->hasUrls()) {
                drop->acceptProposedAction();
                QStringList paths;
                for (const QUrl& url : drop->mimeData()->urls()) {
                    if (url.isLocalFile())
                        paths.append(url.toLocalFile());
                }
                AddFiles(paths);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// A row dragged with the left button onto another row's place moves there (the list's own
// click handling goes on as usual: the row under the release is selected).
void CMorvaneDlg::FollowRowDrag(const QMouseEvent& event) {
    const auto rowAt = [this](const QPoint& position) {
        if (jobList->GetRowHeight() <= 0)
            return -1;
        const int row = jobList->GetTopIndex() + position.y() / jobList->GetRowHeight();
        return jobs.IsValidIndex(row) ? row : int(jobs.Count()) - 1;
    };
    const QPoint position = event.position().toPoint();
    if (event.type() == QEvent::MouseButtonPress) {
        dragRow = event.button() == Qt::LeftButton ? rowAt(position) : -1;
        dragStart = position;
        dragging = false;
    } else if (event.type() == QEvent::MouseMove) {
        if (dragRow >= 0 && (event.buttons() & Qt::LeftButton) &&
            (position - dragStart).manhattanLength() >= QApplication::startDragDistance())
            dragging = true;
    } else if (event.button() == Qt::LeftButton) {
        const int from = dragRow;
        const int to = rowAt(position);
        const bool moved = dragging && from >= 0 && to >= 0 && to != from;
        dragRow = -1;
        dragging = false;
        if (moved) // after the list has handled the release
            QMetaObject::invokeMethod(
                this, [this, from, to] { MoveJob(from, to); }, Qt::QueuedConnection);
    }
}

void CMorvaneDlg::EditTimeCell(int row, int column) {
    if (!jobs.IsValidIndex(row) ||
        (column != int(JobColumn::BeginTime) && column != int(JobColumn::EndTime)))
        return;
    if (const Result<void> editable = listController->CheckEditable(row); !editable) {
        ShowStatus(editable.error());
        return;
    }
    const bool begin = column == int(JobColumn::BeginTime);
    const Job& job = jobs.At(row);
    auto* editor = new TimeCellEditor(FormatHms(begin ? job.beginTime : job.endTime),
                                      jobList->GetCellRect(row, column), jobList->viewport());
    // A begin at or after the end, or an end at or before the begin, would leave nothing to
    // convert: it is refused with a word rather than taken as an empty part.
    // Rows may move while the editor is open: the job is found by its id.
    const JobId id = job.id;
    editor->SetCheck([this, id, begin](double seconds) {
        if (jobs.IndexOf(id) < 0)
            return QString();
        const Job& edited = jobs.At(jobs.IndexOf(id));
        if (begin && seconds >= edited.endTime)
            return tr("The begin must come before the end (%1).").arg(FormatHms(edited.endTime));
        if (!begin && seconds <= edited.beginTime)
            return tr("The end must come after the begin (%1).").arg(FormatHms(edited.beginTime));
        return QString();
    });
    connect(editor, &TimeCellEditor::Committed, this, [this, id, begin](double seconds) {
        if (jobs.IndexOf(id) >= 0)
            SetJobTime(int(jobs.IndexOf(id)), begin, seconds);
    });
}
