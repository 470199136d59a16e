// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchExtras.h"

#include "app/CMorvaneDlg.h"
#include "app/LogWindow.h"
#include "app/UserPrompts.h"
#include "engine/ConversionEngine.h"
#include "media/AppPaths.h"
#include "profiles/OutputType.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QStorageInfo>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>

namespace {

// The sizes of the "Fit into" menu: the two common message limits and memory-card sizes.
constexpr std::array<qint64, 5> FitChoices{300000, 600000, 1000000, 2000000, 4000000};

// Repaints of the job list tell the status line that rows, trims or statuses may have changed.
class RepaintWatcher : public QObject {
public:
    RepaintWatcher(QObject* parent, std::function<void()> onPaint)
        : QObject(parent), onPaint(std::move(onPaint)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            onPaint();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> onPaint;
};

} // namespace

BatchExtras::BatchExtras(CMorvaneDlg* page) : QObject(page), page(page), model(SizeModel::Load()) {
    statusLine = new QLabel(page);
    statusLine->setObjectName(QStringLiteral("sizeStatus"));
    statusLine->setGeometry(18, 548, 480, 16);
    statusLine->setStyleSheet(QStringLiteral("color: #1c2a3a; background: transparent;"));
    statusLine->setAccessibleName(tr("Expected size"));
    QWidget* list = page->Control(CMorvaneDlg::IdcJobList);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(list))
        area->viewport()->installEventFilter(new RepaintWatcher(this, [this] { UpdateStatus(); }));
    for (const auto id : {CMorvaneDlg::IdcOutputType, CMorvaneDlg::IdcProfiles})
        page->Control(id)->installEventFilter(new RepaintWatcher(this, [this] { UpdateStatus(); }));
    launcherTimer = new QTimer(this);
    launcherTimer->setInterval(500);
    connect(launcherTimer, &QTimer::timeout, this, &BatchExtras::UpdateLauncher);
    ConversionEngine& engine = page->Engine();
    connect(&engine, &ConversionEngine::ConvertingChanged, this, &BatchExtras::OnConvertingChanged);
    // A finished job teaches the size model: later estimates read what it learned.
    connect(&engine, &ConversionEngine::JobEnded, this, [this] { model = SizeModel::Load(); });
}

BatchExtras::~BatchExtras() {
    launcher.Clear();
    delete logWindow;
}

std::optional<SizeProfile> BatchExtras::CurrentProfile() const {
    const auto* type = qobject_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    const auto* profiles = qobject_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles));
    if (type == nullptr || profiles == nullptr || profiles->currentItem() == nullptr ||
        !profiles->currentItem()->isSelected())
        return std::nullopt;
    return ProfileAt(static_cast<OutputType>(std::max(type->currentIndex(), 0)),
                     profiles->currentRow());
}

std::optional<SizeProfile> BatchExtras::ProfileAt(OutputType type, int row) const {
    const QFileInfo file(ProfileFilePath(AppPaths::ProfileDirs(), type));
    // Read again only when the file changed: the status line asks on every repaint.
    const QString key = QStringLiteral("%1/%2/%3/%4")
                            .arg(int(type))
                            .arg(row)
                            .arg(file.absoluteFilePath())
                            .arg(file.lastModified().toMSecsSinceEpoch());
    auto cached = profileCache.find(key);
    if (cached == profileCache.end()) {
        if (profileCache.size() > 64) // profiles edited over and over in one session
            profileCache.clear();
        cached = profileCache.insert(key, ReadSizeProfile(type, row));
    }
    return *cached;
}

// A row with a type and profile of its own is sized by those, the others by the page's.
std::optional<SizeProfile> BatchExtras::ProfileOfJob(const Job& job, OutputType pageType,
                                                     int pageRow) const {
    if (job.ownOutputType >= 0 && job.ownProfile >= 0)
        return ProfileAt(static_cast<OutputType>(job.ownOutputType), job.ownProfile);
    if (pageRow < 0)
        return std::nullopt;
    return ProfileAt(pageType, pageRow);
}

SizeModel::ProfileOfJob BatchExtras::PageProfiles() const {
    const auto* type = qobject_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    const auto* profiles = qobject_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles));
    const bool chosen = type != nullptr && profiles != nullptr &&
                        profiles->currentItem() != nullptr && profiles->currentItem()->isSelected();
    const auto pageType = static_cast<OutputType>(chosen ? std::max(type->currentIndex(), 0) : 0);
    const int pageRow = chosen ? profiles->currentRow() : -1;
    return
        [this, pageType, pageRow](const Job& job) { return ProfileOfJob(job, pageType, pageRow); };
}

QString BatchExtras::OutputToolTip(const Job& job, const QString& shownName) const {
    // The name comes first: the cell may be too narrow to show it whole.
    const QString name = shownName.trimmed();
    const QString size = OutputSizeText(job);
    if (size.isEmpty())
        return name.isEmpty() ? QString() : name;
    return name.isEmpty() ? size : name + QStringLiteral(", ") + size;
}

QString BatchExtras::OutputSizeText(const Job& job) const {
    if (job.status == JobStatus::Finished && !job.writtenName.isEmpty()) {
        const QFileInfo written(page->OutputDir() + job.writtenName);
        if (written.isFile())
            return FormatFileSize(written.size());
    }
    const std::optional<SizeProfile> profile = PageProfiles()(job);
    if (!profile)
        return {};
    const qint64 expected = model.EstimateJob(job, *profile);
    if (fitBytes > 0 && expected > fitBytes)
        return tr("at most %1").arg(FormatFileSize(fitBytes));
    return tr("about %1").arg(FormatFileSize(expected));
}

QString BatchExtras::StatusText() const {
    const JobList& jobs = page->Jobs();
    if (jobs.Count() == 0 ||
        (!CurrentProfile() && std::none_of(jobs.begin(), jobs.end(),
                                           [](const Job& job) { return job.ownProfile >= 0; })))
        return {};
    const qint64 total = model.EstimateBatch(jobs, PageProfiles(), fitBytes);
    QString text = jobs.Count() == 1 ? tr("1 file") : tr("%1 files").arg(jobs.Count());
    text += tr(", about %1").arg(FormatFileSize(total));
    if (fitBytes > 0)
        text += tr(" (each fits into %1)").arg(FormatFileSize(fitBytes));
    return text;
}

void BatchExtras::UpdateStatus() {
    const QString text = StatusText();
    if (statusLine->text() != text)
        statusLine->setText(text);
}

void BatchExtras::SetFitBytes(qint64 bytes) {
    fitBytes = std::max<qint64>(bytes, 0);
    UpdateStatus();
    if (QWidget* list = page->Control(CMorvaneDlg::IdcJobList))
        list->update(); // the Output tooltips
}

void BatchExtras::AddMenuItems(QMenu* menu) {
    menu->addSeparator();
    QMenu* fit = menu->addMenu(tr("&Fit into"));
    fit->setEnabled(!page->IsConverting());
    auto* choices = new QActionGroup(fit);
    bool known = fitBytes == 0;
    for (const qint64 size : FitChoices) {
        QAction* choice = fit->addAction(FormatFileSize(size));
        choice->setCheckable(true);
        choice->setChecked(size == fitBytes);
        known = known || size == fitBytes;
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, size] { SetFitBytes(size); });
    }
    QAction* other = fit->addAction(
        known ? tr("Other si&ze...") : tr("Other si&ze (%1)...").arg(FormatFileSize(fitBytes)));
    other->setCheckable(true);
    other->setChecked(!known);
    choices->addAction(other);
    connect(other, &QAction::triggered, this, [this] { AskFitSize(page); });
    QAction* off = fit->addAction(tr("&Off"));
    off->setCheckable(true);
    off->setChecked(fitBytes == 0);
    choices->addAction(off);
    connect(off, &QAction::triggered, this, [this] { SetFitBytes(0); });
    QAction* log = menu->addAction(tr("Show &log"));
    connect(log, &QAction::triggered, this, &BatchExtras::ShowLog);
}

// A typed size, asked without waiting for the answer.
void BatchExtras::AskFitSize(QWidget* owner) {
    auto* dialog = new QInputDialog(owner);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Fit into"));
    dialog->setLabelText(tr("Every file at most (for example 300K, 1.5M, or bytes):"));
    dialog->setTextValue(fitBytes > 0 ? FormatFileSize(fitBytes).remove(u' ') : QString());
    connect(dialog, &QInputDialog::textValueSelected, this, [this, owner](const QString& text) {
        if (const std::optional<qint64> size = ParseFileSize(text)) {
            SetFitBytes(*size);
            return;
        }
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Fit into"),
                                    tr("\"%1\" is not a size such as 300K, 1.5M or a "
                                       "number of bytes. The size is unchanged.")
                                        .arg(text),
                                    QMessageBox::Ok, owner);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}

bool BatchExtras::PrepareStart(BatchSettings& settings, UserPrompts& prompts) {
    settings.fitBytes = fitBytes;
    const OutputType pageType = settings.outputType;
    const int pageRow = settings.profileSelection;
    // A profile that cannot be read counts nothing: Start says what is wrong with it.
    const qint64 total = model.EstimateBatch(
        page->Jobs(),
        [this, pageType, pageRow](const Job& job) { return ProfileOfJob(job, pageType, pageRow); },
        fitBytes, settings.retryUnfinished);
    const QStorageInfo storage(settings.outputDir);
    if (!storage.isValid() || total <= storage.bytesAvailable())
        return true;
    return prompts.Confirm(page,
                           tr("The files of this batch need about %1, but the output folder %2 has "
                              "only %3 free. Converting may stop when the disk is full.\n\nConvert "
                              "anyway?")
                               .arg(FormatFileSize(total),
                                    QDir::toNativeSeparators(settings.outputDir),
                                    FormatFileSize(std::max<qint64>(storage.bytesAvailable(), 0))),
                           tr("Warning"), tr("Convert anyway"), tr("Cancel"));
}

LogWindow* BatchExtras::ShowLog() {
    if (logWindow == nullptr)
        logWindow = new LogWindow(page->window()); // a window of its own, closed with the page
    logWindow->show();
    logWindow->raise();
    logWindow->activateWindow();
    return logWindow;
}

void BatchExtras::OnConvertingChanged(bool converting) {
    if (converting) {
        launcherTimer->start();
        UpdateLauncher();
    } else {
        launcherTimer->stop();
        launcher.Clear();
        model = SizeModel::Load();
        UpdateStatus();
    }
}

void BatchExtras::UpdateLauncher() {
    const ConversionEngine& engine = page->Engine();
    const JobList& jobs = page->Jobs();
    const int left = int(std::count_if(jobs.begin(), jobs.end(),
                                       [](const Job& job) { return !HasEnded(job.status); }));
    launcher.Show(engine.Progress().percent / 100.0, left);
}
