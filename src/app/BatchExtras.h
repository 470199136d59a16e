// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/LauncherProgress.h"
#include "engine/SizeModel.h"

#include <QObject>
#include <QPointer>

#include <optional>

class CMorvaneDlg;
class LogWindow;
class QLabel;
class QMenu;
class QTimer;
class UserPrompts;
struct BatchSettings;
struct Job;

// What the page adds around a batch besides converting: the expected sizes (each row's Output
// tooltip, the total in the status line under the links), the "Fit into" choice and "Show log"
// of the batch menu, the free-space question at Start and the progress on the taskbar entry.
class BatchExtras : public QObject {
    Q_OBJECT
public:
    explicit BatchExtras(CMorvaneDlg* page);
    ~BatchExtras() override;

    // The Output cell's tooltip of a job: the name the cell shows, then the file's expected size
    // ("about 1.2 MB"; "at most 300 KB" when fitted) or, once written, its size.
    QString OutputToolTip(const Job& job, const QString& shownName) const;
    QString OutputSizeText(const Job& job) const;
    // The batch total as the status line shows it; empty without jobs or a profile.
    QString StatusText() const;
    // Adds "Fit into" and "Show log" to the batch menu.
    void AddMenuItems(QMenu* menu);

    // The size every file must fit into; 0 for Off.
    qint64 FitBytes() const { return fitBytes; }
    void SetFitBytes(qint64 bytes);
    // At Start: puts the fit size into settings and, when the batch's expected total exceeds the
    // output folder's free space, asks whether to convert anyway (Cancel is the default).
    // False: the user cancelled, nothing starts.
    bool PrepareStart(BatchSettings& settings, UserPrompts& prompts);

    LogWindow* ShowLog();

private:
    std::optional<SizeProfile> CurrentProfile() const;
    std::optional<SizeProfile> ProfileAt(OutputType type, int row) const;
    std::optional<SizeProfile> ProfileOfJob(const Job& job, OutputType pageType, int pageRow) const;
    // Each job's profile for sizes: its own, else the page's current choice.
    SizeModel::ProfileOfJob PageProfiles() const;
    void AskFitSize(QWidget* owner);
    void UpdateStatus();
    void OnConvertingChanged(bool converting);
    void UpdateLauncher();

    CMorvaneDlg* page;
    QLabel* statusLine = nullptr;
    QPointer<LogWindow> logWindow;
    LauncherProgress launcher;
    QTimer* launcherTimer = nullptr;
    qint64 fitBytes = 0;
    SizeModel model;
    // Profiles read for sizes, by type, row, file and its time: kept while the file is unchanged.
    mutable QHash<QString, std::optional<SizeProfile>> profileCache;
};
