// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/UserPrompts.h"
#include "engine/ConversionEngine.h"
#include "engine/EncoderCapabilities.h"
#include "engine/JobList.h"

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QWidget>

#include <memory>

class BatchExtras;
class CCellListCtrl;
class CFadePicture;
class CHyperlinkLabel;
class CImageButton;
class CRangeSlider;
class CVideoEdit;
struct CellInfo;
class BatchController;
class JobListController;
class TrimController;
class QueueKeeper;
struct QueueState;
class PowerControl;
class ShutdownCountdown;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMouseEvent;
class QTimer;
class QPushButton;

// The main page: the job list, the preview and trim controls, the output settings and the
// Start/Stop buttons. It owns the job list and the page-wide state. During a batch the rows
// that wait may still be added, removed, moved and trimmed (JobListController says which);
// the output settings wait for the batch's end.
class CMorvaneDlg : public QWidget {
    Q_OBJECT
public:
    // The controls of the page, by their ids.
    enum ControlId : int {
        IdcJobList = 1011,
        IdcAdd = 1012,
        IdcRemove = 1013,
        IdcRemoveAll = 1014,
        IdcHelp = 1016,
        IdcOutputDir = 1021,
        IdcBrowse = 1022,
        IdcDirectoryLabel = 1034,
        IdcTrimSlider = 1047,
        IdcStart = 1048,
        IdcStop = 1049,
        IdcSettingsFrame = 1052,
        IdcMediaControl = 1053,
        IdcPreview = 1054,
        IdcStopPreview = 1055,
        IdcVideoFrame = 1058,
        IdcShutdown = 1059,
        IdcOutputType = 1061,
        IdcProfiles = 1065,
        IdcDescription = 1066,
        IdcOutputTypeLabel = 1067,
        IdcProfileLabel = 1068,
        IdcLowerFrame = 1069,
        IdcLink1 = 1070,
        IdcLink2 = 1071,
        IdcLink3 = 1072,
        IdcLink4 = 1073,
        IdcStatusLine = 1074,
    };

    // The file dialog's filter: description and patterns, as the user sees them.
    static const QString FileFilter;
    // The file dialog's filter in Qt's syntax ("Description (*.a *.b);;...").
    static QString QtFileFilter();

    explicit CMorvaneDlg(QWidget* parent = nullptr);
    ~CMorvaneDlg() override;

    // Replaces the dialogs and message boxes (tests answer them) and the power-off request.
    void SetUserPrompts(UserPrompts* prompts);
    void SetPowerControl(PowerControl* power);

    // The page's widgets by id (tests drive the page through them).
    QWidget* Control(ControlId id) const;
    const JobList& Jobs() const { return jobs; }
    int CurrentJob() const { return currentJob; }
    bool IsConverting() const { return converting; }
    QString OutputDir() const { return outputDir; }
    ConversionEngine& Engine() { return engine; }
    JobListController& ListController() { return *listController; }
    BatchController& Batch() { return *batch; }
    // What the status line says (why an edit was refused).
    QString StatusText() const;
    BatchExtras* Extras() const { return extras; } // sizes, fit into, Show log, taskbar progress

    // Handlers, connected to the controls in the constructor.
    void AddFile();
    // Adds one file as a job; false, with the reason, when it cannot be opened.
    bool AddPath(const QString& path, QString* error);
    // Adds files in order (picked in the dialog, dropped on the list, or named when the
    // program starts); a folder adds its media files, sorted by name. One "Error" box names
    // those that cannot be opened; the last one added is the current job.
    void AddFiles(const QStringList& paths);
    void RemoveSelected();
    void RemoveAll();
    // Moves a row to another place (keys Ctrl+Up and Ctrl+Down, or a drag).
    void MoveJob(int from, int to);
    // Gives the selected row the page's type and profile as its own (own), or lets it follow
    // the page's again.
    void SetRowProfile(bool own);
    // The profile list's selected row, -1 for none.
    int SelectedProfile() const;
    void OnListClick();
    void OnStartConverting();
    void OnStopConverting();
    // The batch menu (right click on the job list or on Start/Stop, or the list's menu key);
    // the caller owns it (it deletes itself when closed).
    QMenu* CreateBatchMenu();
    // Pause (true) or resume the running encoders.
    void OnPauseConverting(bool pause);
    // The running jobs finish, no other starts.
    void OnStopAfterCurrent();
    // Converts again only the jobs that failed or were canceled (or not reached).
    void OnRetryFailed();
    // How many jobs run side by side: 1 to 8, 0 for "Auto" (the processor cores); stored.
    void SetSimultaneousJobs(int jobs);
    int SimultaneousJobs() const { return simultaneousJobs; }
    // The engine's batch has ended.
    void OnBatchFinished(const BatchResult& result);
    void OnBrowse();
    void OpenHtmlHelp();
    void OpenCompiledHelp();
    void OnOutputTypeChanged();
    void FillProfiles(int outputType);
    // Greys the listed profiles that the installed encoder cannot make, the reason in the
    // item's tooltip (once the encoder has said what it can make).
    void MarkUnavailableProfiles();
    const EncoderCapabilities& Capabilities() const { return capabilities; }
    void EnableSettingsControls(bool enable);
    void ShutDownComputer();
    // The end of a batch: the box that says how it went, or the countdown to the power-off.
    void ShowBatchEnd();
    void StartShutdownCountdown();

    void LoadJob(int index);
    void ShowStill(const QString& path, double time);
    void OnPreview();
    void OnStopPreview();
    void OnPlayPosition();
    void OnStillFailed();
    bool StillPending() const { return stillPending; }
    bool RangePlaying() const { return rangePlaying; }
    void SelectRow(int index);
    void RefreshList();
    void ResetTrimSlider();
    // A double click on a Begin or End cell: the user types that end's time.
    void EditTimeCell(int row, int column);
    // Sets one end of a job's trim, clamped as a drag of that end is.
    void SetJobTime(int row, bool begin, double seconds);

    // The window is asked to close: true when it may close now. During a batch the user is
    // asked first (the window closes once the answer is to stop) and false is returned.
    bool ConfirmClose();
    // The window is closing: a running conversion is stopped and nothing more is shown.
    void PrepareToClose();
    // Whether the computer may power off at the end; when it may not, the user is told at
    // once and the shutdown box is cleared.
    bool CheckPowerOffAllowed();

    // The engine's notifications.
    void RepaintProgressCell(JobId id);
    void OnJobEnded(JobId id, JobStatus status);
    void ConvertingChanged(bool converting);
    // The window's title: the batch's share done and time left while it runs.
    void UpdateTitle();

protected:
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnInitDialog();
    void AnnounceSelfDrawnControls();
    void DressButtons();
    void SetLinkAddresses();
    void CreateControls();
    void PlaceControls();
    void FitFont();
    void OrderAndNameControls();
    void ConnectHandlers();
    void OnGetCellInfo(CellInfo& cell);
    void DressProgressCell(const Job& job, CellInfo& cell);
    // The Output cell's tooltip of a row with its own type and profile.
    QString OwnProfileText(const Job& job) const;
    void OnRangeChanged(int part, int dragEnded);
    void LoadOutputDir();
    // The list, type, profile and simultaneous jobs of the last run, read back at start.
    void RestoreQueue();
    QueueState RememberedQueue() const;
    void SaveFileNumber();
    bool HandleListKey(const QKeyEvent& event);
    void FollowRowDrag(const QMouseEvent& event);
    // Says on the status line why something did not happen.
    void ShowStatus(const QString& text);
    void UpdateTrimEnabled();
    int SelectionMark() const;
    void ShowMessage(const QString& text, const QString& caption, UserPrompts::Icon icon);
    // Moves the trim slider (and sets its length unless below 0) without the move counting as
    // the user's trim.
    void ShowTrim(double length, double begin, double end);
    void StartBatch(bool retryUnfinished);
    void ShowBatchMenu(QWidget* widget, const QPoint& position);

    // Page state.
    JobList jobs;
    int currentJob = -1;
    bool converting = false;
    bool rangeGuard = false;
    bool stillPending = false;
    bool rangePlaying = false;
    bool closing = false;
    QPointer<QWidget> closeQuestion; // on screen while askingToClose
    bool askingToClose = false;
    int fileNumber = 0;
    int simultaneousJobs = 1;
    int dragRow = -1; // the row under the left button's press, while it is held
    QPoint dragStart;
    bool dragging = false;
    QTimer* titleTimer = nullptr;
    // Rows whose Progress cell changed since screen readers were last told (a few times a
    // second at most, however often the encoder reports).
    QSet<int> announcedRows;
    QTimer* announceTimer = nullptr;
    QString outputDir; // always with a trailing separator once set
    QPixmap background;
    // Profile titles by output type, for the tooltips of rows with their own profile.
    mutable QHash<int, QStringList> profileTitles;

    EncoderCapabilities capabilities;
    ConversionEngine engine;
    // The page's work: the list's edits, the trim and preview, the batch.
    JobListController* listController = nullptr;
    TrimController* trim = nullptr;
    BatchController* batch = nullptr;
    QueueKeeper* queueKeeper = nullptr; // writes the list on every change
    std::unique_ptr<UserPrompts> ownPrompts;
    std::unique_ptr<PowerControl> ownPower;
    UserPrompts* prompts;
    PowerControl* power;
    std::unique_ptr<ShutdownCountdown> countdown;
    BatchExtras* extras = nullptr; // sizes, fit into, Show log, taskbar progress (a child)

    // Controls.
    CHyperlinkLabel* links[4] = {};
    QLabel* description = nullptr;
    QComboBox* outputType = nullptr;
    QListWidget* profiles = nullptr;
    QCheckBox* shutdownBox = nullptr;
    CFadePicture* videoFrame = nullptr;
    CImageButton* stopPreviewButton = nullptr;
    CImageButton* previewButton = nullptr;
    QGroupBox* settingsFrame = nullptr;
    QGroupBox* lowerFrame = nullptr;
    CImageButton* stopButton = nullptr;
    CImageButton* startButton = nullptr;
    CCellListCtrl* jobList = nullptr;
    QLabel* directoryLabel = nullptr;
    QLabel* outputTypeLabel = nullptr;
    QLabel* profileLabel = nullptr;
    QLabel* statusLine = nullptr;
    QLineEdit* outputDirEdit = nullptr;
    CImageButton* removeButton = nullptr;
    CImageButton* helpButton = nullptr;
    QPushButton* browseButton = nullptr;
    CImageButton* removeAllButton = nullptr;
    CImageButton* addButton = nullptr;
    CRangeSlider* trimSlider = nullptr;
    CVideoEdit* videoEdit = nullptr;
};
