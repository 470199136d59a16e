#include "app/CMorvaneDlg.h"

#include "app/AccessibleControls.h"
#include "app/BatchSummary.h"
#include "app/PageFont.h"
#include "app/PowerControl.h"
#include "app/ShutdownCountdown.h"
#include "app/SkinEngine.h"
#include "app/TimeCellEditor.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "controls/CFadePicture.h"
#include "controls/CHyperlinkLabel.h"
#include "controls/CImageButton.h"
#include "controls/ListMessages.h"
#include "controls/Resources.h"
#include "engine/AppPaths.h"
#include "engine/ErrorLog.h"
#include "engine/JobCellText.h"
#include "engine/StoredSettings.h"
#include "preview/CRangeSlider.h"
#include "preview/CVideoEdit.h"
#include "preview/RangeChangedEvent.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>

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
            problems->append(
                QStringLiteral("%1 holds no media files.").arg(QDir::toNativeSeparators(path)));
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

// The four link labels (1070 to 1073): related products and their pages.
struct LinkText {
    QString text, address;
};
const LinkText linkTexts[4] = {
    {QStringLiteral("FFmpeg: the encoder behind every profile"),
     QStringLiteral("https://ffmpeg.org/")},
    {QStringLiteral("OpenCORE AMR: the AMR-NB speech codec for 3GP"),
     QStringLiteral("https://sourceforge.net/projects/opencore-amr/")},
    {QStringLiteral("3GPP: the 3GP file format for mobile phones"),
     QStringLiteral("https://www.3gpp.org/")},
    {QStringLiteral("3GPP2: the 3G2 file format for CDMA phones"),
     QStringLiteral("https://www.3gpp2.org/")},
};

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
    return QStringLiteral("Nothing was converted: the trimmed range of these files is empty "
                          "(the end must come after the begin):\n%1")
        .arg(names.join(u'\n'));
}

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
        filters.append(QStringLiteral("%1 (%2)").arg(description, patterns.join(u' ')));
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
}

CMorvaneDlg::~CMorvaneDlg() {
    SaveFileNumber();
    if (converting)
        OnStopConverting();
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
        links[i] = new CHyperlinkLabel(linkTexts[i].text, this);
        links[i]->setObjectName(QStringLiteral("link%1").arg(i + 1));
    }
    settingsFrame = new QGroupBox(QStringLiteral("Output Setting"), this);
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
    shutdownBox = new QCheckBox(
        QStringLiteral("Automatically Shut Down the computer when converting finished"), this);
    videoFrame = new CFadePicture(this);
    stopPreviewButton = makeButton(QString(), QStringLiteral("stopPreview"));
    previewButton = makeButton(QString(), QStringLiteral("preview"));
    stopButton = makeButton(QString(), QStringLiteral("stop"));
    startButton = makeButton(QString(), QStringLiteral("start"));
    jobList = new CCellListCtrl(this);
    directoryLabel = new QLabel(QStringLiteral("Output Directory:"), this);
    outputTypeLabel = new QLabel(QStringLiteral("Select Output Type:"), this);
    profileLabel = new QLabel(QStringLiteral("Select Profile:"), this);
    outputDirEdit = new QLineEdit(this);
    removeButton = makeButton(QString(), QStringLiteral("remove"));
    helpButton = makeButton(QStringLiteral("Help"), QStringLiteral("help"));
    browseButton = new QPushButton(QStringLiteral("Browse"), this);
    browseButton->setObjectName(QStringLiteral("browse"));
    browseButton->setAutoDefault(false);
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
    connect(jobList, &CCellListCtrl::Clicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::RightClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::DoubleClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::RightDoubleClicked, this, &CMorvaneDlg::OnListClick);
    connect(jobList, &CCellListCtrl::DoubleClicked, this, &CMorvaneDlg::EditTimeCell);
    connect(startButton, &QPushButton::clicked, this, &CMorvaneDlg::OnStartConverting);
    connect(stopButton, &QPushButton::clicked, this, &CMorvaneDlg::OnStopConverting);
    connect(outputType, &QComboBox::activated, this, &CMorvaneDlg::OnOutputTypeChanged);
    connect(browseButton, &QPushButton::clicked, this, &CMorvaneDlg::OnBrowse);
    connect(helpButton, &QPushButton::clicked, this, &CMorvaneDlg::OpenHtmlHelp);
    connect(previewButton, &QPushButton::clicked, this, &CMorvaneDlg::OnPreview);
    connect(stopPreviewButton, &QPushButton::clicked, this, &CMorvaneDlg::OnStopPreview);
    connect(videoEdit, &CVideoEdit::OnPlayPosition, this, &CMorvaneDlg::OnPlayPosition);
    connect(videoEdit, &CVideoEdit::StillFailed, this, &CMorvaneDlg::OnStillFailed);

    engine.SetExporter(&videoEdit->Exporter());
    connect(&engine, &ConversionEngine::JobChanged, this, &CMorvaneDlg::RepaintProgressCell);
    connect(&engine, &ConversionEngine::JobEnded, this,
            [this](int row) { RepaintProgressCell(row); });
    connect(&engine, &ConversionEngine::ConvertingChanged, this, &CMorvaneDlg::ConvertingChanged);
    connect(&engine, &ConversionEngine::BatchFinished, this, &CMorvaneDlg::OnBatchFinished);
    connect(&engine, &ConversionEngine::PausedChanged, this, &CMorvaneDlg::UpdateTitle);
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
        {addButton, 138, 137, "Add a video to converting task"},
        {removeButton, 136, 135, "Remove selected video"},
        {removeAllButton, 140, 139, "Remove all videos"},
        {startButton, 148, 147, "Start Converting"},
        {stopButton, 145, 146, "Stop Converting"},
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
        {helpButton, 195, 195, "Contents"},
        {previewButton, 193, 192, "Preview selected videos"},
        {stopPreviewButton, 191, 194, "Stop preview"},
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
        b.button->SetTip(QString::fromLatin1(b.tip), true);
    for (const BitmapButton& b : bitmapButtons)
        b.button->SetTip(QString::fromLatin1(b.tip), true);
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
        {stopButton, 580, 470, 70, 70},
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
        {addButton, "Add", nullptr},
        {removeButton, "Remove", nullptr},
        {removeAllButton, "Remove all", nullptr},
        {startButton, "Start", nullptr},
        {stopButton, "Stop", nullptr},
        {previewButton, "Preview", nullptr},
        {stopPreviewButton, "Stop preview", nullptr},
        {helpButton, "Help", nullptr},
        {browseButton, "Browse", "Choose the output directory"},
        {trimSlider, "Trim", "Begin and end of the part to convert"},
        {jobList, "Jobs", "The videos to convert: source, begin and end time, output, progress"},
        {outputType, "Select Output Type", nullptr},
        {profiles, "Select Profile", nullptr},
        {description, "Profile description", nullptr},
        {outputDirEdit, "Output Directory", nullptr},
        {shutdownBox, "Automatically Shut Down the computer when converting finished", nullptr},
        {videoFrame, "Video", "The picture of the selected video"},
        {videoEdit, "Video", "The picture of the selected video"},
    };
    for (const Name& n : names) {
        n.widget->setAccessibleName(QString::fromLatin1(n.name));
        const auto* button = qobject_cast<CImageButton*>(n.widget);
        const QString tip = button != nullptr ? button->TipText() : n.widget->toolTip();
        n.widget->setAccessibleDescription(
            n.description != nullptr ? QString::fromLatin1(n.description) : tip);
    }
    for (CHyperlinkLabel* link : links) {
        link->setAccessibleName(link->text());
        link->setAccessibleDescription(link->Link());
    }
    setAccessibleName(QStringLiteral("Morvane"));
    lowerFrame->setAccessibleName(QStringLiteral("Conversion list"));
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

// ---- Output type and profiles ---------------------------------------------------------------

void CMorvaneDlg::FillProfiles(int type) {
    if (!IsValidOutputType(type))
        return;
    profileReader.SetFile(
        QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(static_cast<OutputType>(type))));
    const QString info = QStringLiteral("Info");
    if (!profileReader.HasKeys(info))
        return; // a missing file leaves the previous type's description and profiles
    description->setText(profileReader.GetValue(info, QStringLiteral("Description")));
    const int defaultProfile =
        ParseLeadingInt(profileReader.GetValue(info, QStringLiteral("DefaultProfile")));
    profiles->clear();
    QStringList names;
    profileReader.GetSectionNames(names);
    for (qsizetype i = 1; i < names.size(); ++i) {
        const QString title = profileReader.GetValue(names.at(i), QStringLiteral("Title"));
        profiles->addItem(title);
    }
    const int row = defaultProfile - 1;
    if (row >= 0 && row < profiles->count())
        profiles->setCurrentRow(row);
    else
        profiles->setCurrentRow(-1);
    MarkUnavailableProfiles();
}

void CMorvaneDlg::MarkUnavailableProfiles() {
    const auto type = static_cast<OutputType>(std::max(outputType->currentIndex(), 0));
    CProfileIniReader reader;
    for (int row = 0; row < profiles->count(); ++row) {
        const ProfileResolution profile = ResolveProfile(reader, AppPaths::ProfileDir(), type, row);
        const QString missing =
            profile.IsValid() ? capabilities.MissingFor(NeedsOfTemplates(profile.passTemplates))
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

// ---- Settings -------------------------------------------------------------------------------

void CMorvaneDlg::LoadOutputDir() {
    outputDir = StoredSettings::LoadOutputDir();
    simultaneousJobs = StoredSettings::LoadSimultaneousJobs();
    outputDirEdit->setText(outputDir);
}

void CMorvaneDlg::OnBrowse() {
    if (converting)
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

// ---- Help and shutdown ----------------------------------------------------------------------

void CMorvaneDlg::OpenHtmlHelp() {
    prompts->OpenDocument(AppPaths::ProgramDir() + QStringLiteral("help/help.html"));
}

void CMorvaneDlg::OpenCompiledHelp() {
    // There is no compiled help on this platform unless one is installed beside the program.
    const QString compiled = AppPaths::ProgramDir() + QStringLiteral("//Help.chm");
    if (QFileInfo::exists(compiled))
        prompts->OpenDocument(compiled);
    else
        OpenHtmlHelp();
}

void CMorvaneDlg::ShutDownComputer() {
    QString reason;
    if (power->RequestPowerOff(&reason))
        return;
    QString text = QStringLiteral("Your computer cannot shutdown");
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason; // the system's own words
    ShowMessage(text, QStringLiteral("Warning"), UserPrompts::Icon::Error);
}

void CMorvaneDlg::ShowMessage(const QString& text, const QString& caption, UserPrompts::Icon icon) {
    prompts->MessageBox(this, text, caption, icon);
}

// ---- Job list -------------------------------------------------------------------------------

int CMorvaneDlg::SelectionMark() const {
    return jobList->GetSelectionMark();
}

void CMorvaneDlg::customEvent(QEvent* event) {
    if (event->type() == ListGetCellInfoEvent::EventType) {
        OnGetCellInfo(static_cast<ListGetCellInfoEvent*>(event)->Info());
    } else if (event->type() == RangeChangedEventType) {
        const auto* changed = static_cast<RangeChangedEvent*>(event);
        OnRangeChanged(changed->WParam(), changed->LParam());
    }
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
        cell.text = JobCellText(job, column, outputType->currentIndex());
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
    } else if (job.status == JobStatus::FirstPass && cell.progressRange > 0) {
        // The whole status line does not fit the column; the bar shows the share and the
        // time left, the tooltip the whole line.
        cell.barText = QStringLiteral("%1%").arg(cell.progressPosition);
        if (job.secondsLeft >= 0.0)
            cell.barText += QStringLiteral("  ") + FormatTimeLeft(job.secondsLeft);
        cell.toolTip = cell.text;
    } else if (job.status == JobStatus::Failed) {
        cell.textColour = QColor(150, 0, 0);
        cell.backgroundColour = QColor(255, 215, 215);
        cell.ignoreSelection = true;
        cell.toolTip = job.failReason;
    }
}

void CMorvaneDlg::RefreshList() {
    jobList->SetItemCount(int(jobs.Count()));
    const int mark = SelectionMark();
    jobList->RedrawItems(mark, mark);
}

void CMorvaneDlg::SelectRow(int index) {
    jobList->SetSelectionMark(index);
    jobList->SetItemSelected(index);
    jobList->setFocus();
    jobList->EnsureVisible(index, true);
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

void CMorvaneDlg::AddFile() {
    if (converting)
        return;
    const QStringList paths =
        prompts->OpenFiles(this, QtFileFilter(), StoredSettings::LoadAddFolder());
    if (paths.isEmpty())
        return;
    const QFileInfo first(paths.first());
    StoredSettings::StoreAddFolder(first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    AddFiles(paths);
}

bool CMorvaneDlg::AddPath(const QString& path, QString* error) {
    if (converting)
        return false;
    QString reason;
    const double length = videoEdit->GetClipLength(path, &reason);
    if (length < 0) {
        if (error != nullptr)
            *error = QStringLiteral("%1 cannot be added.\n%2")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    videoEdit->show();
    videoFrame->hide();
    jobs.Append(Job::FromPath(QDir::toNativeSeparators(path), length));
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
        ShowMessage(problems.join(QStringLiteral("\n\n")), QStringLiteral("Error"),
                    UserPrompts::Icon::Error);
}

void CMorvaneDlg::RemoveSelected() {
    if (converting)
        return;
    const int mark = SelectionMark();
    if (!jobs.IsValidIndex(mark))
        return;
    jobs.RemoveAt(mark);
    RefreshList();
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
    if (converting)
        return;
    jobs.Clear();
    jobList->DeleteAllItems();
    currentJob = -1;
    videoEdit->CloseClip();
    stillPending = false;
    ResetTrimSlider();
}

void CMorvaneDlg::OnListClick() {
    if (converting) {
        // The list may have moved its highlight before asking: put it back on the running
        // job, or a trim made after the batch would land on the clicked row.
        if (jobs.IsValidIndex(currentJob)) {
            jobList->SetSelectionMark(currentJob);
            jobList->SetItemSelected(currentJob);
        }
        return;
    }
    const int mark = SelectionMark();
    if (mark != currentJob && jobs.IsValidIndex(mark)) {
        currentJob = mark;
        LoadJob(mark);
    } else if (currentJob >= 0) {
        SelectRow(currentJob);
    }
}

bool CMorvaneDlg::HandleListKey(int key) {
    const int mark = SelectionMark();
    const int count = int(jobs.Count());
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
            return converting || HandleListKey(key);
    }
    if (watched == jobList->viewport()) {
        // While converting, clicks never reach the list, so its highlight and mark stay put.
        if (converting && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                           type == QEvent::MouseButtonDblClick))
            return true;
        if (type == QEvent::DragEnter || type == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(event);
            if (!converting && drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (type == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!converting && drop->mimeData()->hasUrls()) {
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

// ---- Trim -----------------------------------------------------------------------------------

void CMorvaneDlg::OnRangeChanged(int part, int dragEnded) {
    if (converting)
        return;
    const int mark = SelectionMark();
    if (!jobs.IsValidIndex(mark) || rangeGuard)
        return;
    const auto [left, right] = trimSlider->GetSelection();
    Job job = jobs.At(mark);
    job.beginTime = left;
    job.endTime = right;
    jobs.Set(mark, job);
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
    if (converting)
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
        ShowMessage(QStringLiteral("%1 cannot be played.\n%2")
                        .arg(QDir::toNativeSeparators(job.sourcePath), videoEdit->LastError()),
                    QStringLiteral("Error"), UserPrompts::Icon::Error);
    }
}

void CMorvaneDlg::OnStopPreview() {
    if (converting || !jobs.IsValidIndex(SelectionMark()))
        return;
    videoEdit->StopPlayback();
    rangePlaying = false;
}

// ---- Batch ----------------------------------------------------------------------------------

void CMorvaneDlg::OnStartConverting() {
    StartBatch(false);
}

void CMorvaneDlg::OnRetryFailed() {
    StartBatch(true);
}

void CMorvaneDlg::StartBatch(bool retryUnfinished) {
    if (converting || jobs.Count() < 1)
        return;
    if (const QString empty = EmptyRangeJobs(jobs); !empty.isEmpty()) {
        ShowMessage(empty, QStringLiteral("Error"), UserPrompts::Icon::Error);
        return;
    }
    videoEdit->StopExport();
    if (outputDirEdit->text().isEmpty()) {
        ShowMessage(ConversionEngine::NoOutputDirMessage(), QStringLiteral("Error"),
                    UserPrompts::Icon::Error);
        return;
    }
    BatchSettings settings;
    settings.outputType = static_cast<OutputType>(std::max(outputType->currentIndex(), 0));
    settings.profileSelection = profiles->currentRow();
    if (profiles->currentItem() == nullptr || !profiles->currentItem()->isSelected())
        settings.profileSelection = -1;
    settings.outputDir = outputDir;
    settings.capabilities = &capabilities;
    settings.simultaneousJobs =
        simultaneousJobs == 0 ? ConversionEngine::AutoSimultaneousJobs() : simultaneousJobs;
    settings.retryUnfinished = retryUnfinished;
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
        ShowMessage(result.message, QStringLiteral("Error"), UserPrompts::Icon::Error);
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
    if (converting)
        return;
    simultaneousJobs = std::clamp(jobsSideBySide, 0, ConversionEngine::MaxSimultaneousJobs);
    StoredSettings::StoreSimultaneousJobs(simultaneousJobs);
    jobList->viewport()->update(); // the rows' time left
}

QMenu* CMorvaneDlg::CreateBatchMenu() {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* pause = menu->addAction(QStringLiteral("&Pause"));
    pause->setCheckable(true);
    pause->setChecked(engine.IsPaused());
    pause->setEnabled(converting && !engine.CancelRequested());
    connect(pause, &QAction::toggled, this, &CMorvaneDlg::OnPauseConverting);
    QAction* stopAfter = menu->addAction(QStringLiteral("Stop &after current jobs"));
    stopAfter->setEnabled(converting && !engine.StopsAfterCurrentJobs() &&
                          !engine.CancelRequested());
    connect(stopAfter, &QAction::triggered, this, &CMorvaneDlg::OnStopAfterCurrent);
    QAction* retry = menu->addAction(QStringLiteral("&Retry failed"));
    const bool anyFailed = std::any_of(jobs.begin(), jobs.end(), [](const Job& job) {
        return job.status == JobStatus::Failed || job.status == JobStatus::Canceled;
    });
    retry->setEnabled(!converting && anyFailed);
    connect(retry, &QAction::triggered, this, &CMorvaneDlg::OnRetryFailed);
    menu->addSeparator();
    QMenu* side = menu->addMenu(QStringLiteral("&Simultaneous jobs"));
    side->setEnabled(!converting);
    auto* choices = new QActionGroup(side);
    for (int n = 0; n <= ConversionEngine::MaxSimultaneousJobs; ++n) {
        QAction* choice = side->addAction(
            n == 0 ? QStringLiteral("&Auto (%1)").arg(ConversionEngine::AutoSimultaneousJobs())
                   : QStringLiteral("&%1").arg(n));
        choice->setCheckable(true);
        choice->setChecked(n == simultaneousJobs);
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, n] { SetSimultaneousJobs(n); });
    }
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
            state += QStringLiteral(" - paused");
        else if (progress.secondsLeft >= 0.0)
            state += QStringLiteral(" - ") + FormatTimeLeft(progress.secondsLeft);
        title = state + QStringLiteral(" - ") + title;
    }
    window()->setWindowTitle(title);
}

void CMorvaneDlg::ShowBatchEnd() {
    const BatchCounts counts = BatchCounts::Of(jobs);
    const QString caption = BatchEndCaption(counts);
    if (!window()->isActiveWindow())
        prompts->Notify(QStringLiteral("Morvane: converting ended"), BatchEndSummary(counts));
    const QString folder = outputDir;
    prompts->BatchEndBox(this, BatchEndText(counts, ErrorLog::LogFilePath()), caption,
                         counts.failed > 0 ? UserPrompts::Icon::Warning
                                           : UserPrompts::Icon::Information,
                         [this, folder] { prompts->OpenDocument(folder); });
}

void CMorvaneDlg::StartShutdownCountdown() {
    if (!window()->isActiveWindow())
        prompts->Notify(QStringLiteral("Morvane: converting finished"),
                        QStringLiteral("The computer shuts down in a minute."));
    countdown = std::make_unique<ShutdownCountdown>();
    connect(countdown.get(), &ShutdownCountdown::Expired, this, &CMorvaneDlg::ShutDownComputer);
    prompts->ShowCountdown(this, countdown.get());
    countdown->Start();
}

void CMorvaneDlg::OnStopConverting() {
    engine.CancelActiveJob();
}

void CMorvaneDlg::PrepareToClose() {
    closing = true;
    if (converting)
        OnStopConverting();
}

void CMorvaneDlg::RepaintProgressCell(int row) {
    jobList->InvalidateCells(row, row, int(JobColumn::Progress), false);
}

void CMorvaneDlg::ConvertingChanged(bool nowConverting) {
    converting = nowConverting;
    // No sleep in the middle of a batch; without logind the batch runs all the same.
    if (nowConverting)
        power->InhibitSleep(nullptr);
    else
        power->AllowSleep();
    EnableSettingsControls(!nowConverting);
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

void CMorvaneDlg::EditTimeCell(int row, int column) {
    if (converting || !jobs.IsValidIndex(row) ||
        (column != int(JobColumn::BeginTime) && column != int(JobColumn::EndTime)))
        return;
    const bool begin = column == int(JobColumn::BeginTime);
    const Job& job = jobs.At(row);
    auto* editor = new TimeCellEditor(FormatHms(begin ? job.beginTime : job.endTime),
                                      jobList->GetCellRect(row, column), jobList->viewport());
    connect(editor, &TimeCellEditor::Committed, this,
            [this, row, begin](double seconds) { SetJobTime(row, begin, seconds); });
}

void CMorvaneDlg::SetJobTime(int row, bool begin, double seconds) {
    if (converting || !jobs.IsValidIndex(row))
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
    jobs.Set(row, job);
    jobList->InvalidateCells(row, row, int(JobColumn::BeginTime), false);
    jobList->InvalidateCells(row, row, int(JobColumn::EndTime), false);
    if (row != currentJob)
        return;
    ShowTrim(-1.0, job.beginTime, job.endTime);
    ShowStill(job.sourcePath, begin ? job.beginTime : job.endTime);
}
