// SPDX-License-Identifier: GPL-3.0-or-later
// The main page: its controls, their layout and dressing, the output settings and help.
#include "app/CMorvaneDlg.h"
#include "app/BatchExtras.h"
#include "app/ShutdownCountdown.h"

#include "app/AccessibleControls.h"
#include "app/BatchController.h"
#include "app/JobListController.h"
#include "app/PageFont.h"
#include "app/PowerControl.h"
#include "app/SkinEngine.h"
#include "app/TrimController.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "controls/CFadePicture.h"
#include "controls/CHyperlinkLabel.h"
#include "controls/CImageButton.h"
#include "controls/Resources.h"
#include "engine/JobCellText.h"
#include "engine/QueueStore.h"
#include "engine/StoredSettings.h"
#include "media/AppPaths.h"
#include "preview/CRangeSlider.h"
#include "preview/CVideoEdit.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace {

// The four link labels (1070 to 1073): related products and their pages.
struct LinkText {
    const char* text;
    QString address;
};

const LinkText linkTexts[4] = {
    {QT_TRANSLATE_NOOP("CMorvaneDlg", "FFmpeg: the encoder behind every profile"),
     QStringLiteral("https://ffmpeg.org/")},
    {QT_TRANSLATE_NOOP("CMorvaneDlg", "OpenCORE AMR: the AMR-NB speech codec for 3GP"),
     QStringLiteral("https://sourceforge.net/projects/opencore-amr/")},
    {QT_TRANSLATE_NOOP("CMorvaneDlg", "3GPP: the 3GP file format for mobile phones"),
     QStringLiteral("https://www.3gpp.org/")},
    {QT_TRANSLATE_NOOP("CMorvaneDlg", "3GPP2: the 3G2 file format for CDMA phones"),
     QStringLiteral("https://www.3gpp2.org/")},
};

// The file filter's names, without their patterns, for the translators: QtFileFilter
// translates each name as it builds the filter.
[[maybe_unused]] const char* const filterNames[] = {
    QT_TRANSLATE_NOOP("CMorvaneDlg", "Support Video Files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "AVI Files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "WAV Files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "Mpeg files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "RealMedia Files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "Windows Media files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "Quick Time Files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "Other media files"),
    QT_TRANSLATE_NOOP("CMorvaneDlg", "All files"),
};

} // namespace

// The program's long-standing filter, whose first entry also takes the types that ffmpeg has
// learnt to read since, and two entries more: those types, and every file.
const QString CMorvaneDlg::FileFilter = QStringLiteral(
    "Support Video Files|*.wav;*.wma;*.mp3;*.rm;*rmvb;*.avi;*.mpg;*.mpeg;*.vob;*.wmv;*.wma;*.asf;"
    "*.mov;*.qt;*.mp4;*.m4v;*.mkv;*.webm;*.ogv;*.3gp;*.3g2;*.m4a;*.flac;*.ogg|AVI Files (*.avi)|"
    "*.avi|WAV Files (*.wav)|*.wav|Mpeg files (*.mp3,*.mpg, *.mpeg,*.vob)|*.mp3;*.mpg;*.mpeg;"
    "*.vob|RealMedia Files (*.rm,*.rmvb)|*.rm;*.rmvb|Windows Media files (*.wmv, *.wma, *.asf)|"
    "*.wmv;*.wma;*.asf|Quick Time Files (*.mov, *.qt)|*.mov; *.qt|Other media files (*.mp4, "
    "*.m4v, *.mkv, *.webm, *.ogg, *.ogv, *.flac, *.m4a, *.3gp, *.3g2)|*.mp4;*.m4v;*.mkv;*.webm;"
    "*.ogg;*.ogv;*.flac;*.m4a;*.3gp;*.3g2|All files (*)|*|");

QString CMorvaneDlg::QtFileFilter() {
    // Qt reads a filter's patterns from the parentheses at the end of its description,
    // separated by blanks: put the patterns of each pair there.
    const QStringList parts = FileFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(u';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty() && !patterns.contains(trimmed))
                patterns.append(trimmed);
        }
        const qsizetype open = description.lastIndexOf(u'(');
        if (description.endsWith(u')') && open > 0)
            description = description.left(open).trimmed();
        filters.append(QStringLiteral("%1 (%2)").arg(tr(description.toUtf8().constData()),
                                                     patterns.join(u' ')));
    }
    return filters.join(QStringLiteral(";;"));
}

CMorvaneDlg::CMorvaneDlg(QWidget* parent)
    : QWidget(parent), ownPrompts(std::make_unique<UserPrompts>()),
      ownPower(std::make_unique<LogindPowerControl>()), prompts(ownPrompts.get()),
      power(ownPower.get()) {
    InstallAccessibleControls();
    CreateControls();
    ConnectHandlers();
    OnInitDialog();
    extras = new BatchExtras(this); // sizes, fit into, Show log, taskbar progress
}

CMorvaneDlg::~CMorvaneDlg() {
    SaveFileNumber();
    if (converting)
        OnStopConverting();
    // Written now, while the list and the controls are there; what the engine's end still
    // changes is not (nothing runs at the next start anyway).
    delete queueKeeper;
}

void CMorvaneDlg::SetUserPrompts(UserPrompts* newPrompts) {
    prompts = newPrompts != nullptr ? newPrompts : ownPrompts.get();
}

void CMorvaneDlg::SetPowerControl(PowerControl* newPower) {
    power = newPower != nullptr ? newPower : ownPower.get();
}

void CMorvaneDlg::CreateControls() {
    auto makeButton = [this](const QString& text, const QString& name) {
        auto* button = new CImageButton(text, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    for (int i = 0; i < 4; ++i) {
        links[i] = new CHyperlinkLabel(CMorvaneDlg::tr(linkTexts[i].text), this);
        links[i]->setObjectName(QStringLiteral("link%1").arg(i + 1));
    }
    settingsFrame = new QGroupBox(tr("Output Setting"), this);
    lowerFrame = new QGroupBox(this);
    description = new QLabel(this);
    description->setObjectName(QStringLiteral("description"));
    description->setFrameShape(QFrame::Box);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    outputType = new QComboBox(this);
    for (int t = 0; t < OutputTypeCount; ++t)
        outputType->addItem(OutputTypeTitle(static_cast<OutputType>(t)));
    profiles = new QListWidget(this);
    profiles->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long titles wrap onto a second line: readable whole, without scrolling sideways.
    profiles->setWordWrap(true);
    profiles->setResizeMode(QListView::Adjust);
    profiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    shutdownBox =
        new QCheckBox(tr("Automatically Shut Down the computer when converting finished"), this);
    videoFrame = new CFadePicture(this);
    stopPreviewButton = makeButton(QString(), QStringLiteral("stopPreview"));
    previewButton = makeButton(QString(), QStringLiteral("preview"));
    stopButton = makeButton(QString(), QStringLiteral("stop"));
    startButton = makeButton(QString(), QStringLiteral("start"));
    jobList = new CCellListCtrl(this);
    directoryLabel = new QLabel(tr("Output Directory:"), this);
    outputTypeLabel = new QLabel(tr("Select Output Type:"), this);
    profileLabel = new QLabel(tr("Select Profile:"), this);
    statusLine = new QLabel(this);
    statusLine->setObjectName(QStringLiteral("statusLine"));
    listController = new JobListController(jobs, engine, this);
    trim = new TrimController(engine, jobs, this);
    batch = new BatchController(engine, jobs, this);
    outputDirEdit = new QLineEdit(this);
    removeButton = makeButton(QString(), QStringLiteral("remove"));
    helpButton = makeButton(tr("Help"), QStringLiteral("help"));
    browseButton = new QPushButton(tr("Browse"), this);
    browseButton->setObjectName(QStringLiteral("browse"));
    browseButton->setAutoDefault(false);
    browseButton->setFocusPolicy(Qt::TabFocus); // as the picture buttons: a click keeps no focus
    removeAllButton = makeButton(QString(), QStringLiteral("removeAll"));
    addButton = makeButton(QString(), QStringLiteral("add"));
    trimSlider = new CRangeSlider(this);
    videoEdit = new CVideoEdit(this);

    // Group boxes sit behind the controls they frame.
    settingsFrame->lower();
    lowerFrame->lower();
}

void CMorvaneDlg::ConnectHandlers() {
    connect(addButton, &QPushButton::clicked, this, &CMorvaneDlg::AddFile);
    connect(removeButton, &QPushButton::clicked, this, &CMorvaneDlg::RemoveSelected);
    connect(removeAllButton, &QPushButton::clicked, this, &CMorvaneDlg::RemoveAll);
    connect(listController->RemoveAllAction(), &QAction::enabledChanged, removeAllButton,
            &QWidget::setEnabled);
    connect(listController->AddAction(), &QAction::triggered, this, &CMorvaneDlg::AddFile);
    connect(listController->RemoveAction(), &QAction::triggered, this,
            &CMorvaneDlg::RemoveSelected);
    connect(listController->RemoveAllAction(), &QAction::triggered, this, &CMorvaneDlg::RemoveAll);
    connect(listController->MoveUpAction(), &QAction::triggered, this,
            [this] { MoveJob(SelectionMark(), SelectionMark() - 1); });
    connect(listController->MoveDownAction(), &QAction::triggered, this,
            [this] { MoveJob(SelectionMark(), SelectionMark() + 1); });
    connect(listController->OwnProfileAction(), &QAction::triggered, this,
            [this] { SetRowProfile(true); });
    connect(listController->PageProfileAction(), &QAction::triggered, this,
            [this] { SetRowProfile(false); });
    // Their keys work wherever the focus is on the page.
    addActions({listController->OwnProfileAction(), listController->PageProfileAction()});
    connect(jobList, &CCellListCtrl::Clicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::RightClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::DoubleClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::RightDoubleClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::DoubleClicked, this, &CMorvaneDlg::EditTimeCell);
    connect(startButton, &QPushButton::clicked, batch->StartAction(), &QAction::trigger);
    connect(stopButton, &QPushButton::clicked, batch->StopAction(), &QAction::trigger);
    connect(batch->StartAction(), &QAction::triggered, this, &CMorvaneDlg::OnStartConverting);
    connect(batch->StopAction(), &QAction::triggered, this, &CMorvaneDlg::OnStopConverting);
    connect(batch->PauseAction(), &QAction::toggled, this, &CMorvaneDlg::OnPauseConverting);
    connect(batch->StopAfterAction(), &QAction::triggered, this, &CMorvaneDlg::OnStopAfterCurrent);
    connect(batch->RetryAction(), &QAction::triggered, this, &CMorvaneDlg::OnRetryFailed);
    // What waits for the end of a batch looks (and reads to a screen reader) disabled.
    connect(batch->IdleAction(), &QAction::enabledChanged, browseButton, &QWidget::setEnabled);
    connect(trim->PreviewAction(), &QAction::enabledChanged, previewButton, &QWidget::setEnabled);
    connect(trim->StopPreviewAction(), &QAction::enabledChanged, stopPreviewButton,
            &QWidget::setEnabled);
    connect(outputType, &QComboBox::activated, this, &CMorvaneDlg::OnOutputTypeChanged);
    connect(browseButton, &QPushButton::clicked, this, &CMorvaneDlg::OnBrowse);
    connect(shutdownBox, &QCheckBox::toggled, this, [this](bool checked) {
        if (checked)
            CheckPowerOffAllowed(); // said now, not after the batch and the countdown
    });
    connect(helpButton, &QPushButton::clicked, this, &CMorvaneDlg::OpenHtmlHelp);
    connect(previewButton, &QPushButton::clicked, trim->PreviewAction(), &QAction::trigger);
    connect(stopPreviewButton, &QPushButton::clicked, trim->StopPreviewAction(), &QAction::trigger);
    connect(trim->PreviewAction(), &QAction::triggered, this, &CMorvaneDlg::OnPreview);
    connect(trim->StopPreviewAction(), &QAction::triggered, this, &CMorvaneDlg::OnStopPreview);
    connect(videoEdit, &CVideoEdit::OnPlayPosition, this, &CMorvaneDlg::OnPlayPosition);
    connect(videoEdit, &CVideoEdit::StillFailed, this, &CMorvaneDlg::OnStillFailed);

    connect(&engine, &ConversionEngine::JobChanged, this, &CMorvaneDlg::RepaintProgressCell);
    connect(&engine, &ConversionEngine::JobEnded, this, &CMorvaneDlg::OnJobEnded);
    connect(&engine, &ConversionEngine::ConvertingChanged, this, &CMorvaneDlg::ConvertingChanged);
    connect(&engine, &ConversionEngine::BatchFinished, this, &CMorvaneDlg::OnBatchFinished);
    // Paused and stopping show on the rows and in the title.
    for (auto changed :
         {&ConversionEngine::PausedChanged, &ConversionEngine::StopAfterCurrentChanged}) {
        connect(&engine, changed, this, [this] {
            jobList->viewport()->update();
            UpdateTitle();
        });
    }
    announceTimer = new QTimer(this);
    announceTimer->setSingleShot(true);
    announceTimer->setInterval(400);
    connect(announceTimer, &QTimer::timeout, this, [this] {
        for (const int row : std::as_const(announcedRows))
            AnnounceJobCell(jobList, row, int(JobColumn::Progress));
        announcedRows.clear();
    });
    titleTimer = new QTimer(this);
    titleTimer->setInterval(1000);
    connect(titleTimer, &QTimer::timeout, this, &CMorvaneDlg::UpdateTitle);

    // The batch menu: jobs side by side, pause, stop after the running jobs, retry.
    for (QWidget* widget :
         {static_cast<QWidget*>(jobList), jobList->viewport(), static_cast<QWidget*>(startButton),
          static_cast<QWidget*>(stopButton)}) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this,
                [this, widget](const QPoint& position) { ShowBatchMenu(widget, position); });
    }

    // Enter and Escape never reach the page's controls; the job list's keys move the current
    // job; files dropped on the list are added.
    jobList->installEventFilter(this);
    browseButton->installEventFilter(this);
    jobList->viewport()->installEventFilter(this);
    jobList->viewport()->setAcceptDrops(true);
}

void CMorvaneDlg::OnInitDialog() {
    AnnounceSelfDrawnControls();
    jobList->InsertColumn(0, JobColumnTitle(JobColumn::Source), Qt::AlignLeft, 120);
    jobList->InsertColumn(1, JobColumnTitle(JobColumn::BeginTime), Qt::AlignHCenter, 70);
    jobList->InsertColumn(2, JobColumnTitle(JobColumn::EndTime), Qt::AlignHCenter, 70);
    jobList->InsertColumn(3, JobColumnTitle(JobColumn::Output), Qt::AlignLeft, 100);
    jobList->InsertColumn(4, JobColumnTitle(JobColumn::Progress), Qt::AlignLeft, 250);
    // Progress takes the room that is left: every column shows, with no sideways scrolling.
    jobList->SetLastColumnFills(true);
    jobList->SetFullRowSelect(true);
    DressButtons();

    outputDirEdit->setEnabled(false);
    ResetTrimSlider();
    stopButton->hide();
    videoEdit->hide();
    videoFrame->StartFade(190, 100);
    outputType->setCurrentIndex(0);
    FillProfiles(0);
    connect(&capabilities, &EncoderCapabilities::Ready, this,
            &CMorvaneDlg::MarkUnavailableProfiles);
    capabilities.Query(AppPaths::FindProgram(QStringLiteral("ffmpeg")));
    PlaceControls();
    FitFont();
    SetLinkAddresses();
    OrderAndNameControls();
    LoadOutputDir();
    RestoreQueue();
    background = Resources::LoadBitmapResource(185);
}

void CMorvaneDlg::AnnounceSelfDrawnControls() {
    SkinEngine& skin = SkinEngine::Instance();
    for (QWidget* control : std::initializer_list<QWidget*>{
             addButton, removeButton, removeAllButton, startButton, stopButton, previewButton,
             stopPreviewButton, helpButton, links[0], links[1], links[3], links[2]})
        skin.Call(SkinEngine::AddWindow, control, SkinEngine::SelfDrawnControl);
}

void CMorvaneDlg::DressButtons() {
    const QColor face(49, 66, 97);
    const QColor hoverCaption(20, 20, 20);
    struct IconButton {
        CImageButton* button;
        int hoverIcon, normalIcon;
        const char* tip;
    };
    const IconButton iconButtons[] = {
        {addButton, 138, 137, QT_TR_NOOP("Add a video to converting task")},
        {removeButton, 136, 135, QT_TR_NOOP("Remove selected video")},
        {removeAllButton, 140, 139, QT_TR_NOOP("Remove all videos")},
        {startButton, 148, 147, QT_TR_NOOP("Start Converting")},
        {stopButton, 145, 146, QT_TR_NOOP("Stop Converting")},
    };
    for (const IconButton& b : iconButtons) {
        b.button->LoadIconPair(b.hoverIcon, b.normalIcon);
        b.button->UseParentBackground(false);
        b.button->SetHoverBorder(false);
        b.button->SetImageLayout(1);
        b.button->SetStateColor(CImageButton::CaptionNormal, face);
        b.button->SetStateColor(CImageButton::CaptionHover, hoverCaption);
        b.button->SetStateColor(CImageButton::CaptionFocus, face);
        b.button->SetStateColor(CImageButton::BackgroundHover, face);
    }
    struct BitmapButton {
        CImageButton* button;
        int hoverBitmap, normalBitmap;
        const char* tip;
    };
    const BitmapButton bitmapButtons[] = {
        {helpButton, 195, 195, QT_TR_NOOP("Contents")},
        {previewButton, 193, 192, QT_TR_NOOP("Preview selected videos")},
        {stopPreviewButton, 191, 194, QT_TR_NOOP("Stop preview")},
    };
    for (const BitmapButton& b : bitmapButtons) {
        b.button->LoadBitmapPair(b.hoverBitmap, Resources::GreenKey, b.normalBitmap,
                                 Resources::GreenKey);
        b.button->UseParentBackground(false);
        b.button->SetHoverBorder(false);
    }
    helpButton->SetHoverBorder(true);
    // Help's caption lies on the page's light background picture: dark under any palette
    // (the desktop's light default), never the button text colour of a dark theme.
    for (int slot :
         {CImageButton::CaptionNormal, CImageButton::CaptionHover, CImageButton::CaptionFocus})
        helpButton->SetStateColor(slot, Qt::black);
    for (const IconButton& b : iconButtons)
        b.button->SetTip(tr(b.tip), true);
    for (const BitmapButton& b : bitmapButtons)
        b.button->SetTip(tr(b.tip), true);
}

void CMorvaneDlg::SetLinkAddresses() {
    for (int i = 0; i < 4; ++i)
        links[i]->SetLink(linkTexts[i].address);
    for (CHyperlinkLabel* link : links)
        link->SetUnderlineMode(0);
}

void CMorvaneDlg::PlaceControls() {
    struct Placement {
        QWidget* widget;
        int x, y, width, height;
    };
    const Placement placements[] = {
        {videoFrame, 13, 17, 263, 198},      {videoEdit, 13, 17, 263, 198},
        {previewButton, 13, 232, 18, 18},    {stopPreviewButton, 31, 232, 18, 18},
        {trimSlider, 52, 233, 224, 20},      {settingsFrame, 286, 12, 368, 240},
        {outputTypeLabel, 300, 30, 100, 18}, {outputType, 410, 28, 231, 18},
        {description, 300, 53, 342, 60},     {profileLabel, 300, 115, 80, 18},
        {profiles, 300, 130, 342, 95},       {shutdownBox, 300, 231, 342, 18},
        {lowerFrame, 13, 258, 640, 200},     {directoryLabel, 23, 269, 95, 18},
        {outputDirEdit, 127, 269, 435, 18},  {browseButton, 567, 269, 65, 18},
        {jobList, 23, 294, 587, 156},        {links[0], 18, 465, 300, 15},
        {links[2], 18, 485, 320, 15},        {links[1], 18, 505, 320, 15},
        {links[3], 18, 525, 320, 15},        {addButton, 621, 313, 22, 22},
        {removeButton, 621, 353, 22, 22},    {removeAllButton, 621, 393, 22, 22},
        {helpButton, 505, 495, 75, 32},      {startButton, 580, 470, 70, 70},
        {stopButton, 580, 470, 70, 70},      {statusLine, 18, 566, 555, 16},
    };
    for (const Placement& p : placements)
        p.widget->setGeometry(p.x, p.y, p.width, p.height);
}

void CMorvaneDlg::OrderAndNameControls() {
    // Tab follows the page from the top left to the bottom right: the preview row, the output
    // settings, then the lower frame row by row.
    QWidget* const order[] = {
        previewButton, stopPreviewButton, trimSlider,   outputType, profiles,
        shutdownBox,   outputDirEdit,     browseButton, jobList,    addButton,
        removeButton,  removeAllButton,   links[0],     links[2],   links[1],
        links[3],      helpButton,        startButton,  stopButton,
    };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // What a screen reader says: the control's name and, as its description, its tooltip or
    // the label in front of it.
    struct Name {
        QWidget* widget;
        const char* name;
        const char* description;
    };
    const Name names[] = {
        {addButton, QT_TR_NOOP("Add"), nullptr},
        {removeButton, QT_TR_NOOP("Remove"), nullptr},
        {removeAllButton, QT_TR_NOOP("Remove all"), nullptr},
        {startButton, QT_TR_NOOP("Start"), nullptr},
        {stopButton, QT_TR_NOOP("Stop"), nullptr},
        {previewButton, QT_TR_NOOP("Preview"), nullptr},
        {stopPreviewButton, QT_TR_NOOP("Stop preview"), nullptr},
        {helpButton, QT_TR_NOOP("Help"), nullptr},
        {browseButton, QT_TR_NOOP("Browse"), QT_TR_NOOP("Choose the output directory")},
        {trimSlider, QT_TR_NOOP("Trim"), QT_TR_NOOP("Begin and end of the part to convert")},
        {jobList, QT_TR_NOOP("Jobs"),
         QT_TR_NOOP("The videos to convert: source, begin and end time, output, progress")},
        {outputType, QT_TR_NOOP("Select Output Type"), nullptr},
        {profiles, QT_TR_NOOP("Select Profile"), nullptr},
        {description, QT_TR_NOOP("Profile description"), nullptr},
        {outputDirEdit, QT_TR_NOOP("Output Directory"), nullptr},
        {statusLine, QT_TR_NOOP("Status"),
         QT_TR_NOOP("Why the last change of the list did not happen")},
        {shutdownBox, QT_TR_NOOP("Automatically Shut Down the computer when converting finished"),
         nullptr},
        {videoFrame, QT_TR_NOOP("Video"), QT_TR_NOOP("The picture of the selected video")},
        {videoEdit, QT_TR_NOOP("Video"), QT_TR_NOOP("The picture of the selected video")},
    };
    for (const Name& n : names) {
        n.widget->setAccessibleName(tr(n.name));
        const auto* button = qobject_cast<CImageButton*>(n.widget);
        const QString tip = button != nullptr ? button->TipText() : n.widget->toolTip();
        n.widget->setAccessibleDescription(n.description != nullptr ? tr(n.description) : tip);
    }
    for (CHyperlinkLabel* link : links) {
        link->setAccessibleName(link->text());
        link->setAccessibleDescription(link->Link());
    }
    setAccessibleName(QStringLiteral("Morvane"));
    lowerFrame->setAccessibleName(tr("Conversion list"));
    outputTypeLabel->setBuddy(outputType);
    profileLabel->setBuddy(profiles);
    directoryLabel->setBuddy(outputDirEdit);
}

void CMorvaneDlg::FitFont() {
    // The room of each text: its control's width less what the control draws beside the text
    // (a check box's box, a combo box's arrow, a button's or a header's margins).
    QList<TextRoom> rooms{
        {outputTypeLabel->text(), outputTypeLabel->width(), outputTypeLabel->height()},
        {profileLabel->text(), profileLabel->width(), profileLabel->height()},
        {directoryLabel->text(), directoryLabel->width(), directoryLabel->height()},
        {shutdownBox->text(), shutdownBox->width() - 24, shutdownBox->height()},
        {browseButton->text(), browseButton->width() - 22, browseButton->height()},
        {helpButton->text(), helpButton->width() - 8, helpButton->height()},
    };
    for (int i = 0; i < outputType->count(); ++i)
        rooms.append({outputType->itemText(i), outputType->width() - 30, outputType->height()});
    for (int i = 0; i < 4; ++i)
        rooms.append({links[i]->text(), i == 0 ? 300 : 320, 15});
    for (int column = 0; column < JobColumnCount; ++column) {
        rooms.append({JobColumnTitle(static_cast<JobColumn>(column)),
                      jobList->GetHeaderCtrl()->sectionSize(column) - 12, 20});
    }
    setFont(FitPageFont(font(), rooms));
}

QWidget* CMorvaneDlg::Control(ControlId id) const {
    switch (id) {
    case IdcJobList:
        return jobList;
    case IdcAdd:
        return addButton;
    case IdcRemove:
        return removeButton;
    case IdcRemoveAll:
        return removeAllButton;
    case IdcHelp:
        return helpButton;
    case IdcOutputDir:
        return outputDirEdit;
    case IdcBrowse:
        return browseButton;
    case IdcDirectoryLabel:
        return directoryLabel;
    case IdcTrimSlider:
        return trimSlider;
    case IdcStart:
        return startButton;
    case IdcStop:
        return stopButton;
    case IdcSettingsFrame:
        return settingsFrame;
    case IdcMediaControl:
        return videoEdit;
    case IdcPreview:
        return previewButton;
    case IdcStopPreview:
        return stopPreviewButton;
    case IdcVideoFrame:
        return videoFrame;
    case IdcShutdown:
        return shutdownBox;
    case IdcOutputType:
        return outputType;
    case IdcProfiles:
        return profiles;
    case IdcDescription:
        return description;
    case IdcOutputTypeLabel:
        return outputTypeLabel;
    case IdcProfileLabel:
        return profileLabel;
    case IdcLowerFrame:
        return lowerFrame;
    case IdcLink1:
        return links[0];
    case IdcLink2:
        return links[1];
    case IdcLink3:
        return links[2];
    case IdcLink4:
        return links[3];
    case IdcStatusLine:
        return statusLine;
    }
    return nullptr;
}

void CMorvaneDlg::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (background.isNull())
        painter.fillRect(rect(), palette().window());
    else
        painter.drawPixmap(rect(), background);
}

void CMorvaneDlg::FillProfiles(int type) {
    if (!IsValidOutputType(type))
        return;
    const ProfileList list =
        ReadProfileList(AppPaths::ProfileDirs(), static_cast<OutputType>(type));
    if (!list.hasFile)
        return; // a missing file leaves the previous type's description and profiles
    description->setText(list.description);
    profileTitles.insert(type, list.titles);
    profiles->clear();
    profiles->addItems(list.titles);
    profiles->setCurrentRow(list.defaultRow);
    MarkUnavailableProfiles();
}

void CMorvaneDlg::MarkUnavailableProfiles() {
    const auto type = static_cast<OutputType>(std::max(outputType->currentIndex(), 0));
    CProfileIniReader reader;
    for (int row = 0; row < profiles->count(); ++row) {
        const Result<ResolvedProfile> profile =
            ResolveProfile(reader, AppPaths::ProfileDirs(), type, row);
        const QString missing =
            profile ? capabilities.MissingFor(NeedsOfTemplates(profile->passTemplates)).error()
                    : QString();
        QListWidgetItem* item = profiles->item(row);
        // Still selectable, so that the default stays chosen and Start can say what is wrong.
        item->setForeground(missing.isEmpty() ? QBrush() : QBrush(QColor(0x8a, 0x94, 0xa6)));
        // The whole title (long ones are cut), and why the profile cannot run.
        item->setToolTip(missing.isEmpty() ? item->text()
                                           : item->text() + QStringLiteral("\n\n") + missing);
    }
}

void CMorvaneDlg::OnOutputTypeChanged() {
    FillProfiles(outputType->currentIndex());
    jobList->InvalidateCells(0, int(jobs.Count()) - 1, int(JobColumn::Output), false);
}

void CMorvaneDlg::EnableSettingsControls(bool enable) {
    outputType->setEnabled(enable);
    profiles->setEnabled(enable);
    shutdownBox->setEnabled(enable);
}

void CMorvaneDlg::LoadOutputDir() {
    outputDir = StoredSettings::LoadOutputDir();
    simultaneousJobs = StoredSettings::LoadSimultaneousJobs();
    outputDirEdit->setText(outputDir);
}

int CMorvaneDlg::SelectedProfile() const {
    return profiles->currentItem() != nullptr && profiles->currentItem()->isSelected()
               ? profiles->currentRow()
               : -1;
}

QueueState CMorvaneDlg::RememberedQueue() const {
    QueueState state;
    state.jobs = jobs;
    state.outputType = std::max(outputType->currentIndex(), 0);
    state.profileSelection = SelectedProfile();
    state.simultaneousJobs = simultaneousJobs;
    return state;
}

void CMorvaneDlg::RestoreQueue() {
    const QString path = QueueStore::DefaultPath();
    const bool remembered = QFileInfo::exists(path);
    QueueState state = QueueStore::ReadOrSetAside(path);
    if (remembered) {
        if (IsValidOutputType(state.outputType) && state.outputType != outputType->currentIndex()) {
            outputType->setCurrentIndex(state.outputType);
            FillProfiles(state.outputType);
        }
        if (state.profileSelection >= 0 && state.profileSelection < profiles->count())
            profiles->setCurrentRow(state.profileSelection);
        simultaneousJobs =
            std::clamp(state.simultaneousJobs, 0, ConversionEngine::MaxSimultaneousJobs);
    }
    jobs = std::move(state.jobs);
    // A batch has run on this list: "Retry failed" converts what it left unfinished.
    batch->SetBatchEnded(std::any_of(
        jobs.begin(), jobs.end(), [](const Job& job) { return job.status != JobStatus::Waiting; }));
    queueKeeper = new QueueKeeper(
        path, [this] { return RememberedQueue(); }, this);
    connect(listController, &JobListController::Changed, queueKeeper, &QueueKeeper::Changed);
    connect(&engine, &ConversionEngine::JobChanged, queueKeeper, &QueueKeeper::Changed);
    connect(&engine, &ConversionEngine::JobEnded, queueKeeper, &QueueKeeper::Changed);
    connect(&engine, &ConversionEngine::ConvertingChanged, queueKeeper, &QueueKeeper::Changed);
    connect(outputType, &QComboBox::currentIndexChanged, queueKeeper, &QueueKeeper::Changed);
    connect(profiles, &QListWidget::itemSelectionChanged, queueKeeper, &QueueKeeper::Changed);
    if (jobs.Count() == 0)
        return;
    videoEdit->show();
    videoFrame->hide();
    RefreshList();
    currentJob = 0;
    LoadJob(currentJob);
}

void CMorvaneDlg::OnBrowse() {
    if (!batch->IdleAction()->isEnabled())
        return;
    const QString folder = prompts->BrowseForFolder(this, outputDir);
    if (!folder.isEmpty()) {
        outputDirEdit->setText(QDir::toNativeSeparators(folder));
        outputDir = AppPaths::WithTrailingSeparator(folder);
    }
    StoredSettings::StoreOutputDir(outputDir);
}

void CMorvaneDlg::SaveFileNumber() {
    StoredSettings::StoreFileNumber(fileNumber);
}

void CMorvaneDlg::OpenHtmlHelp() {
    prompts->OpenDocument(this, AppPaths::DataDir() + QStringLiteral("help/help.html"));
}

void CMorvaneDlg::OpenCompiledHelp() {
    // There is no compiled help on this platform unless one is installed beside the program.
    const QString compiled = AppPaths::DataDir() + QStringLiteral("//Help.chm");
    if (QFileInfo::exists(compiled))
        prompts->OpenDocument(this, compiled);
    else
        OpenHtmlHelp();
}

void CMorvaneDlg::ShutDownComputer() {
    QString reason;
    if (power->RequestPowerOff(&reason))
        return;
    QString text = tr("Your computer cannot shutdown");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason; // the system's own words
    ShowMessage(text, tr("Warning"), UserPrompts::Icon::Error);
}

QString CMorvaneDlg::StatusText() const {
    return statusLine->text();
}

void CMorvaneDlg::ShowStatus(const QString& text) {
    statusLine->setText(text);
    // Screen readers hear it as the label's name changes.
    statusLine->setAccessibleName(text.isEmpty() ? tr("Status") : text);
}

void CMorvaneDlg::ShowMessage(const QString& text, const QString& caption, UserPrompts::Icon icon) {
    prompts->MessageBox(this, text, caption, icon);
}
