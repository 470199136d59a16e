// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFixtures.h"
#include "TestPaths.h"
#include "app/BatchExtras.h"
#include "app/BatchSummary.h"
#include "app/CFrameDlg.h"
#include "app/CMorvaneApp.h"
#include "app/CMorvaneDlg.h"
#include "app/LogWindow.h"
#include "app/PowerControl.h"
#include "app/ShutdownCountdown.h"
#include "app/SkinEngine.h"
#include "app/UserPrompts.h"
#include "controls/CCellListCtrl.h"
#include "controls/ListMessages.h"
#include "engine/ErrorLog.h"
#include "engine/QueueStore.h"
#include "engine/StoredSettings.h"
#include "media/AppPaths.h"
#include "preview/CRangeSlider.h"
#include "preview/CVideoEdit.h"
#include "preview/RangeChangedEvent.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Answers the page's dialogs and records its message boxes.
class ScriptedPrompts : public UserPrompts {
public:
    QStringList files;            // answers of the file dialog, one file each ("" cancels)
    QList<QStringList> fileLists; // answers of several files, used before those of one
    QStringList startDirs;        // where the file dialog opened
    QStringList folders;          // answers of the folder dialog
    struct Box {
        QString text, caption;
        Icon icon;
    };
    QList<Box> boxes;
    QStringList documents;
    std::function<void()> onBox; // runs inside MessageBox (e.g. checks while it is shown)

    QStringList OpenFiles(QWidget*, const QString&, const QString& startDir) override {
        startDirs.append(startDir);
        if (!fileLists.isEmpty())
            return fileLists.takeFirst();
        const QString file = files.isEmpty() ? QString() : files.takeFirst();
        return file.isEmpty() ? QStringList() : QStringList{file};
    }
    QString BrowseForFolder(QWidget*, const QString&) override {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    void OpenDocument(QWidget*, const QString& path) override { documents.append(path); }
    bool confirmAnswer = true; // "Remove all" and the like
    QStringList confirms;
    bool Confirm(QWidget*, const QString& text, const QString&, const QString&,
                 const QString&) override {
        confirms.append(text);
        return confirmAnswer;
    }
    bool stopOnClose = true; // closing during a batch: "Stop and close" rather than "Keep"
    int closeAsked = 0;
    QWidget* AskStopAndClose(QWidget*, const std::function<void(bool)>& answer) override {
        ++closeAsked;
        answer(stopOnClose);
        return nullptr;
    }
    void MessageBox(QWidget*, const QString& text, const QString& caption, Icon icon) override {
        boxes.append({text, caption, icon});
        if (onBox)
            onBox();
    }
    bool openFolder = false; // the end box's answer: "Open Folder" rather than OK
    void BatchEndBox(QWidget* owner, const QString& text, const QString& caption, Icon icon,
                     const std::function<void()>& open) override {
        MessageBox(owner, text, caption, icon);
        if (openFolder)
            open();
    }
    ShutdownCountdown* countdown = nullptr;
    void ShowCountdown(QWidget*, ShutdownCountdown* shown) override { countdown = shown; }
    void Notify(const QString&, const QString&) override {}
    std::optional<ExistingOutputs> AskExistingOutputs(QWidget*, const QStringList& names) override {
        existingAsked.append(names);
        return existingAnswer;
    }
    std::optional<ExistingOutputs> existingAnswer = ExistingOutputs::KeepBoth;
    QList<QStringList> existingAsked;
};

class FakePower : public PowerControl {
public:
    bool allow = true;
    int requests = 0;
    int inhibits = 0;
    bool awake = false; // the sleep lock is held
    int checks = 0;     // asked whether a power-off would be allowed
    bool CanPowerOff(QString* reason) override {
        ++checks;
        if (!allow && reason != nullptr)
            *reason = "not permitted";
        return allow;
    }
    bool RequestPowerOff(QString* reason) override {
        ++requests;
        if (!allow && reason != nullptr)
            *reason = "not permitted";
        return allow;
    }
    bool InhibitSleep(QString*) override {
        ++inhibits;
        awake = true;
        return true;
    }
    void AllowSleep() override { awake = false; }
};

const QString finishedText =
    QStringLiteral("           \t          Converting Finished         \t            ");

// The colour in the middle of the preview.
QColor MiddleColour(QWidget* video) {
    const QImage shot = video->grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() / 2);
}

// What of a widget has been painted since it was watched: the union of its paint events.
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

bool AllBlack(QWidget* video) {
    const QImage shot = video->grab().toImage();
    for (int y = 0; y < shot.height(); y += 5) {
        for (int x = 0; x < shot.width(); x += 5) {
            if (qGray(shot.pixel(x, y)) > 2)
                return false;
        }
    }
    return true;
}

} // namespace

class TestMainPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void profileDefaultsPerType_data();
    void profileDefaultsPerType();
    void outputColumnFollowsType();
    void unreadableFileIsRefused_data();
    void unreadableFileIsRefused();
    void droppedFilesAreAdded();
    void removeSelectsTheRightRow_data();
    void removeSelectsTheRightRow();
    void listKeys_data();
    void listKeys();
    void enterAndEscapeAreSwallowed();
    void buttonKeys_data();
    void buttonKeys();
    void tabOrder();
    void typedTimes_data();
    void typedTimes();
    void textsShowWhole();
    void skinDressesThePageOnly();
    void accessibleControls();
    void batchEndTexts_data();
    void batchEndTexts();
    void settingsFirstRunBrowseCancel();
    void startRefusals_data();
    void startRefusals();
    void batchOfTwoFinishes();
    void editingWhileConverting();
    void restartClearsEveryRow();
    void existingOutputsAreAskedAbout_data();
    void existingOutputsAreAskedAbout();
    void addingKeepsTheTrimOfEarlierJobs();
    void stopInSecondPassOf3gp2();
    void failedJobEndsInAWarning();
    void closingDuringPassAsks_data();
    void closingDuringPassAsks();
    void batchEndClosesTheCloseQuestion();
    void jobsSideBySideFromTheMenu();
    void shutdownPaths_data();
    void shutdownPaths();
    void helpOpensPages();
    void openingWithoutAProgramSaysSo();
    void dragLeftEndEditsBeginAndAsksOneStill();
    void latestStillRequestWins();
    void stillOfAClipWithoutPictureThere_data();
    void stillOfAClipWithoutPictureThere();
    void failedStillDoesNotStopLaterOnes();
    void severalFilesAndAFolderAreAdded();
    void previewPlaysTheTrimmedRange();
    void commandLine_data();
    void commandLine();
    void boxesDefaultToTheSafeAnswer_data();
    void boxesDefaultToTheSafeAnswer();
    void stopAfterCurrentLeavesRetry();
    void rememberedListComesBack();
    void fitIntoAndShowLogFromTheMenu();
    void tooLittleFreeSpaceAsksFirst();

private:
    QString Fixture(const QString& extension, const QString& name = "clip");
    QString Playable3gp();
    void AddFiles(const QStringList& paths);
    QString CellText(int row, int column);
    // Clicks Start and waits for the batch it started (if any) to end.
    void ClickStart();
    // Chooses "Retry failed" in the batch menu (it must be enabled) and waits for the batch.
    void RetryFailed();
    void UseProfileDir(const QString& programDir);
    QString WriteFakeProfiles(const QString& firstPass, const QString& secondPass);
    // Two jobs of one clip, a profile whose pass copies a playable 3GP, the output folder set.
    void TwoJobsThatCopy();

    QTemporaryDir temp;
    QString fixtureDir;
    std::unique_ptr<CFrameDlg> frame;
    CMorvaneDlg* page = nullptr;
    ScriptedPrompts prompts;
    FakePower power;
    QString outDir;
};

void TestMainPage::initTestCase() {
    QVERIFY(temp.isValid());
    fixtureDir = temp.filePath("fixtures");
    QDir().mkpath(fixtureDir);
}

void TestMainPage::init() {
    // A fresh settings store and output folder for every test.
    static int round = 0;
    const QString config = temp.filePath(QStringLiteral("config%1").arg(++round));
    QDir().mkpath(config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    qputenv("XDG_STATE_HOME", QFile::encodeName(config)); // the remembered list starts empty
    outDir = temp.filePath(QStringLiteral("out%1").arg(round));
    QDir().mkpath(outDir);
    AppPaths::SetProgramDir(TestPaths::ProgramDir());

    prompts = ScriptedPrompts();
    power = FakePower();
    frame = std::make_unique<CFrameDlg>();
    page = &frame->Page();
    page->SetUserPrompts(&prompts);
    page->SetPowerControl(&power);
    frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
}

void TestMainPage::cleanup() {
    frame.reset();
    page = nullptr;
}

// A playable 3GP of the fixture clip's length: what a fake pass "encodes" by copying it.
QString TestMainPage::Playable3gp() {
    MediaFixtures fixtures(fixtureDir);
    return fixtures.MakeWith("playable.3gp",
                             {"-i", Fixture("avi"), "-c:v", "mpeg4", "-c:a", "aac", "-f", "3gp"});
}

QString TestMainPage::Fixture(const QString& extension, const QString& name) {
    MediaFixtures fixtures(fixtureDir);
    const QString path = fixtures.Make(extension, name);
    if (path.isEmpty())
        qWarning() << fixtures.LastError();
    return path;
}

void TestMainPage::AddFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        prompts.files.append(path);
        QTest::mouseClick(page->Control(CMorvaneDlg::IdcAdd), Qt::LeftButton);
    }
}

void TestMainPage::ClickStart() {
    QSignalSpy finished(&page->Engine(), &ConversionEngine::BatchFinished);
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcStart), Qt::LeftButton);
    if (page->IsConverting())
        QVERIFY(finished.wait(60000));
}

void TestMainPage::RetryFailed() {
    std::unique_ptr<QMenu> menu(page->CreateBatchMenu());
    QAction* retry = nullptr;
    for (QAction* item : menu->actions()) {
        if (item->text().remove(u'&') == "Retry failed")
            retry = item;
    }
    QVERIFY(retry != nullptr && retry->isEnabled());
    QSignalSpy finished(&page->Engine(), &ConversionEngine::BatchFinished);
    retry->trigger();
    QVERIFY(finished.wait(60000));
}

QString TestMainPage::CellText(int row, int column) {
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    return list->GetCellInfo(row, column).text;
}

void TestMainPage::UseProfileDir(const QString& programDir) {
    AppPaths::SetProgramDir(programDir);
    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    page->FillProfiles(combo->currentIndex());
}

// A program folder whose profiles run the fake encoder: the first pass writes its output,
// the second pass (3GP2) hangs until it is stopped.
QString TestMainPage::WriteFakeProfiles(const QString& firstPass, const QString& secondPass) {
    const QString programDir = temp.filePath("fakeprogram");
    QDir().mkpath(programDir + "/app");
    const QString encoder = QStringLiteral(FAKE_ENCODER);
    const QByteArray info = "[Info]\nDescription=Fake\nDefaultProfile=1\n";
    auto write = [&](const QString& name, const QByteArray& body) {
        QFile file(programDir + "/app/" + name);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(info + body);
    };
    const QByteArray one =
        QStringLiteral("[P]\nTitle=Fake\nCmd=\"%1\" %2\n").arg(encoder, firstPass).toUtf8();
    write("3GP_AMR_Profile.ini", one);
    write("3GP_AAC_Profile.ini", one);
    write("3GP2_AAC_Profile.ini",
          QStringLiteral("[P]\nTitle=Fake\nA=\"%1\" %2\nB=\"%1\" %3\nNote=n\n"
                         "C=\"%1\" write=\"$OUTPUT_DIR$OUTPUT_FILE.3g2:2048\"\n")
              .arg(encoder, firstPass, secondPass)
              .toUtf8());
    return programDir;
}

void TestMainPage::TwoJobsThatCopy() {
    UseProfileDir(
        WriteFakeProfiles("copy=\"" + Playable3gp() + ":$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    const QString clip = Fixture("avi");
    AddFiles({clip, clip});
    prompts.folders.append(outDir);
    page->OnBrowse();
}

void TestMainPage::startState() {
    QVERIFY(page->Control(CMorvaneDlg::IdcStart)->isVisible());
    QVERIFY(!page->Control(CMorvaneDlg::IdcStop)->isVisible());
    QVERIFY(!page->Control(CMorvaneDlg::IdcMediaControl)->isVisible());
    QVERIFY(page->Control(CMorvaneDlg::IdcVideoFrame)->isVisible());
    QVERIFY(!page->Control(CMorvaneDlg::IdcOutputDir)->isEnabled());
    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->itemText(0), QString("Cell Phone 3GP  files (3GP + AMR)"));
    QCOMPARE(combo->itemText(2), QString("Cell Phone 3GP2 files (3GP2 + AAC)"));
    auto* list = static_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles));
    QVERIFY(list->count() >= 3);
    QVERIFY(list->currentRow() >= 0);
    QCOMPARE(frame->windowTitle(), QString("Morvane"));
    QCOMPARE(frame->frameGeometry().topLeft(), QPoint(0, 0));
    // The page fills the window's inside to its right edge (no bare strip beside it).
    QCOMPARE(page->geometry().topLeft(), QPoint(2, 2));
    QCOMPARE(page->height(), 628);
    QVERIFY(page->width() >= 669);
    QVERIFY(page->geometry().right() >= frame->width() - 1);
    QCOMPARE(page->Control(CMorvaneDlg::IdcJobList)->geometry(), QRect(23, 294, 587, 156));
    QCOMPARE(page->CurrentJob(), -1);
}

void TestMainPage::profileDefaultsPerType_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<int>("selected");

    QTest::newRow("default 1 of two") << QByteArray("[Info]\nDescription=D\nDefaultProfile=1\n"
                                                    "[A]\nTitle=First\n[B]\nTitle=Second\n")
                                      << QStringList{"First", "Second"} << 0;
    QTest::newRow("default past the end") << QByteArray("[Info]\nDescription=D\nDefaultProfile=3\n"
                                                        "[P1]\nTitle=Only\n")
                                          << QStringList{"Only"} << -1;
    QTest::newRow("default below any number")
        << QByteArray("[Info]\nDescription=D\nDefaultProfile=-99999999999\n[P1]\nTitle=Only\n")
        << QStringList{"Only"} << -1;
    QTest::newRow("no default") << QByteArray("[Info]\nDescription=D\n[P1]\nTitle=Only\n[P2]\n")
                                << QStringList{"Only", ""} << -1;
}

void TestMainPage::profileDefaultsPerType() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, titles);
    QFETCH(int, selected);

    const QString programDir = temp.filePath("profiles-" + QString(QTest::currentDataTag()));
    QDir().mkpath(programDir + "/app");
    QFile file(programDir + "/app/3GP2_AAC_Profile.ini");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    AppPaths::SetProgramDir(programDir);

    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    auto* list = static_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles));
    auto* description = static_cast<QLabel*>(page->Control(CMorvaneDlg::IdcDescription));
    const int before = list->count();
    // Type 1 has no file in this folder: the list and the description stay as they were.
    combo->setCurrentIndex(1);
    page->OnOutputTypeChanged();
    QCOMPARE(list->count(), before);
    combo->setCurrentIndex(2);
    page->OnOutputTypeChanged();
    QCOMPARE(description->text(), QString("D"));
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    QCOMPARE(shown, titles);
    QCOMPARE(list->currentRow(), selected);
}

void TestMainPage::outputColumnFollowsType() {
    const QString clip = Fixture("avi");
    AddFiles({clip, clip, Fixture("wav", "song")});
    QCOMPARE(page->Jobs().Count(), 3);
    QCOMPARE(CellText(0, 3), QString("clip.3gp"));
    QCOMPARE(CellText(1, 3), QString("clip (2).3gp"));
    QCOMPARE(CellText(2, 3), QString("song.3gp"));
    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // as the user picks it: the combo's own signal
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentIndex(), 2);
    auto* description = static_cast<QLabel*>(page->Control(CMorvaneDlg::IdcDescription));
    QVERIFY2(description->text().startsWith("3GP2"), qPrintable(description->text()));
    QCOMPARE(CellText(0, 3), QString("clip.3g2"));
    QCOMPARE(CellText(2, 3), QString("song.3g2"));
    QCOMPARE(CellText(0, 0), QString("clip.avi"));
    QCOMPARE(CellText(0, 1), QString("00:00:00"));
    QCOMPARE(CellText(0, 2), QString("00:00:02"));
    QVERIFY(page->Control(CMorvaneDlg::IdcMediaControl)->isVisible());
    QVERIFY(!page->Control(CMorvaneDlg::IdcVideoFrame)->isVisible());

    // The last row keeps 3GP2 as its own (Ctrl+T); the others follow the page back to 3GP.
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    const QString sizeAs3g2 = list->CellToolTip(2, 3).section(u',', -1);
    QVERIFY2(sizeAs3g2.contains("about"), qPrintable(sizeAs3g2));
    page->SelectRow(2);
    QTest::keyClick(page->Control(CMorvaneDlg::IdcJobList), Qt::Key_T, Qt::ControlModifier);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(CellText(0, 3), QString("clip.3gp"));
    QCOMPARE(CellText(2, 3), QString("song.3g2"));
    const QString tip = list->CellToolTip(2, 3);
    QVERIFY2(tip.startsWith("Its own type and profile:\nCell Phone 3GP2 files (3GP2 + AAC)\n"),
             qPrintable(tip));
    QVERIFY2(tip.endsWith(sizeAs3g2), qPrintable(tip)); // sized by its own profile
    QVERIFY(!list->CellToolTip(0, 3).startsWith("Its own"));
}

void TestMainPage::unreadableFileIsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("text named .avi") << "not media.avi"
                                     << "not a video or audio file";
    QTest::newRow("still picture") << "not media.png"
                                   << "still picture";
}

void TestMainPage::unreadableFileIsRefused() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QString bogus = temp.filePath(name);
    if (name.endsWith(".png")) {
        bogus = MediaFixtures(fixtureDir)
                    .MakeWith(name, {"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"});
        QVERIFY(!bogus.isEmpty());
    } else {
        QFile file(bogus);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plain text, not a video");
        file.close();
    }
    AddFiles({bogus});
    QCOMPARE(page->Jobs().Count(), 0);
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.first().caption, QString("Error"));
    QVERIFY(prompts.boxes.first().text.contains(name));
    QVERIFY2(prompts.boxes.first().text.contains(reason), qPrintable(prompts.boxes.first().text));
    QVERIFY(!page->Control(CMorvaneDlg::IdcMediaControl)->isVisible());
}

void TestMainPage::droppedFilesAreAdded() {
    const QString bogus = temp.filePath("dropped notes.mpg");
    QFile file(bogus);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a video");
    file.close();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Fixture("avi")), QUrl::fromLocalFile(bogus),
                  QUrl::fromLocalFile(Fixture("mp3", "song"))});
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    QCOMPARE(page->Jobs().Count(), 2);
    QCOMPARE(CellText(0, 0), QString("clip.avi"));
    QCOMPARE(CellText(1, 0), QString("song.mp3"));
    QCOMPARE(page->CurrentJob(), 1);
    QCOMPARE(prompts.boxes.size(), 1); // one box names the file that could not be added
    QVERIFY(prompts.boxes.first().text.contains("dropped notes.mpg"));
}

void TestMainPage::removeSelectsTheRightRow_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("expectedCurrent");

    QTest::newRow("last of three") << 3 << 2 << 1;
    QTest::newRow("first of three") << 3 << 0 << 0;
    QTest::newRow("only row") << 1 << 0 << -1;
}

void TestMainPage::removeSelectsTheRightRow() {
    QFETCH(int, count);
    QFETCH(int, selected);
    QFETCH(int, expectedCurrent);
    QStringList clips;
    for (int i = 0; i < count; ++i)
        clips.append(Fixture("avi", QStringLiteral("c%1").arg(i)));
    AddFiles(clips);
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    page->SelectRow(selected);
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcRemove), Qt::LeftButton);
    QCOMPARE(page->Jobs().Count(), count - 1);
    QCOMPARE(page->CurrentJob(), expectedCurrent);
    QCOMPARE(list->GetItemCount(), count - 1);
    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    if (expectedCurrent < 0) {
        QCOMPARE(slider->GetLimits(), std::make_pair(0.0, 120.0));
        QCOMPARE(slider->GetSelection(), std::make_pair(0.0, 120.0));
    } else {
        QCOMPARE(list->GetSelectionMark(), expectedCurrent);
        QVERIFY(slider->GetLimits().second < 3.0);
    }
}

void TestMainPage::listKeys_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QList<int>>("rows");

    QTest::newRow("page down") << 0
                               << QList<int>{Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_PageDown}
                               << QList<int>{3, 4, 4};
    QTest::newRow("page up") << 4 << QList<int>{Qt::Key_PageUp, Qt::Key_PageUp} << QList<int>{1, 0};
    QTest::newRow("home and end") << 2 << QList<int>{Qt::Key_End, Qt::Key_Home} << QList<int>{4, 0};
    QTest::newRow("up and down stop at the ends")
        << 0 << QList<int>{Qt::Key_Up, Qt::Key_Down, Qt::Key_Down} << QList<int>{0, 1, 2};
    QTest::newRow("down at the end") << 4 << QList<int>{Qt::Key_Down} << QList<int>{4};
    QTest::newRow("delete removes the row") << 4 << QList<int>{Qt::Key_Delete} << QList<int>{3};
    // Ctrl with Up or Down moves the row itself, and the selection with it.
    const int up = (Qt::CTRL | Qt::Key_Up).toCombined();
    const int down = (Qt::CTRL | Qt::Key_Down).toCombined();
    QTest::newRow("ctrl+up moves the row up") << 2 << QList<int>{up, up, up} << QList<int>{1, 0, 0};
    QTest::newRow("ctrl+down moves the row down")
        << 3 << QList<int>{down, down} << QList<int>{4, 4};
}

void TestMainPage::listKeys() {
    QFETCH(int, start);
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, rows);
    const QString clip = Fixture("avi");
    AddFiles({clip, clip, clip, clip, clip});
    page->SelectRow(start);
    page->OnListClick();
    QCOMPARE(page->CurrentJob(), start);
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    const JobId started = page->Jobs().At(start).id;
    for (int i = 0; i < keys.size(); ++i) {
        const QKeyCombination key = QKeyCombination::fromCombined(keys.at(i));
        QTest::keyClick(list, key.key(), key.keyboardModifiers());
        QCOMPARE(page->CurrentJob(), rows.at(i));
        QCOMPARE(list->GetSelectionMark(), rows.at(i));
        if (key.keyboardModifiers() & Qt::ControlModifier)
            QCOMPARE(page->Jobs().At(rows.at(i)).id, started);
    }
}

void TestMainPage::enterAndEscapeAreSwallowed() {
    AddFiles({Fixture("avi")});
    int starts = 0;
    connect(static_cast<QPushButton*>(page->Control(CMorvaneDlg::IdcStart)), &QPushButton::clicked,
            this, [&] { ++starts; });
    prompts.folders.append(outDir); // Return in a list is no click on Browse either
    const QList<QWidget*> targets{page->Control(CMorvaneDlg::IdcJobList),
                                  page->Control(CMorvaneDlg::IdcProfiles),
                                  page->Control(CMorvaneDlg::IdcOutputType), frame.get()};
    for (QWidget* target : targets) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QTest::keyClick(target, Qt::Key_Escape);
    }
    QVERIFY(frame->isVisible());
    QCOMPARE(starts, 0);
    QCOMPARE(page->Jobs().Count(), 1);
    QVERIFY(prompts.boxes.isEmpty());
    QCOMPARE(prompts.folders.size(), 1);
}

void TestMainPage::settingsFirstRunBrowseCancel() {
    auto* edit = static_cast<QLineEdit*>(page->Control(CMorvaneDlg::IdcOutputDir));
    // First run: the Videos folder, and nothing is stored until Browse is used.
    QCOMPARE(edit->text(), StoredSettings::DefaultOutputDir());
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Morvane", "Morvane");
    QVERIFY(!settings.contains("destination/Default"));

    // Browse: the edit shows the folder as chosen, the stored value has the separator.
    prompts.folders.append(outDir);
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcBrowse), Qt::LeftButton);
    QCOMPARE(edit->text(), QDir::toNativeSeparators(outDir));
    QCOMPARE(page->OutputDir(), outDir + QDir::separator());
    settings.sync();
    QCOMPARE(settings.value("destination/Default").toString(), outDir + QDir::separator());

    // Cancel keeps the folder and stores it again.
    settings.remove("destination/Default");
    settings.sync();
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcBrowse), Qt::LeftButton);
    QCOMPARE(page->OutputDir(), outDir + QDir::separator());
    settings.sync();
    QCOMPARE(settings.value("destination/Default").toString(), outDir + QDir::separator());

    // The next start shows the stored folder with its separator; the page stores "fileno".
    frame.reset();
    settings.sync();
    QVERIFY(settings.contains("fileno/Default"));
    CFrameDlg again;
    QCOMPARE(static_cast<QLineEdit*>(again.Page().Control(CMorvaneDlg::IdcOutputDir))->text(),
             outDir + QDir::separator());
}

void TestMainPage::startRefusals_data() {
    QTest::addColumn<bool>("withJob");
    QTest::addColumn<bool>("clearDir");
    QTest::addColumn<bool>("clearProfile");
    QTest::addColumn<bool>("emptyRange");
    QTest::addColumn<bool>("missingEncoder");
    QTest::addColumn<QString>("boxText");

    QTest::newRow("empty list does nothing") << false << false << false << false << false << "";
    QTest::newRow("empty directory") << true << true << false << false << false
                                     << "  Please set the output directory firstly   ";
    QTest::newRow("no profile selected") << true << false << true << false << false << "profile";
    QTest::newRow("empty trim names the job")
        << true << false << false << true << false << "clip.avi";
    QTest::newRow("missing encoder")
        << true << false << false << false << true << "cannot be found";
}

void TestMainPage::startRefusals() {
    QFETCH(bool, withJob);
    QFETCH(bool, clearDir);
    QFETCH(bool, clearProfile);
    QFETCH(bool, emptyRange);
    QFETCH(bool, missingEncoder);
    QFETCH(QString, boxText);
    if (missingEncoder) {
        const QString programDir = temp.filePath("no-encoder");
        QDir().mkpath(programDir + "/app");
        QFile file(programDir + "/app/3GP_AMR_Profile.ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Info]\nDescription=D\nDefaultProfile=1\n[P]\nTitle=T\n"
                   "Cmd=\"/nonexistent/encoder\" -i \"$INPUT_FILE\"\n");
        file.close();
        UseProfileDir(programDir);
    }
    // A file of the output's name: what stops every job is said before any question on it.
    QFile existing(outDir + "/clip.3gp");
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("an earlier result");
    existing.close();
    if (withJob)
        AddFiles({Fixture("avi")});
    if (emptyRange) {
        // The right thumb dragged onto the left one.
        static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider))
            ->SetSelection(0.8, 0.8);
        RangeChangedEvent changed(RangeChangedEvent::RightEnd, 0);
        QCoreApplication::sendEvent(page, &changed);
        QCOMPARE(page->Jobs().At(0).endTime, 0.8);
    }
    prompts.folders.append(outDir);
    page->OnBrowse();
    if (clearDir)
        static_cast<QLineEdit*>(page->Control(CMorvaneDlg::IdcOutputDir))->clear();
    if (clearProfile)
        static_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles))->setCurrentRow(-1);
    ClickStart();
    if (boxText.isEmpty()) {
        QVERIFY(prompts.boxes.isEmpty());
    } else {
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(prompts.boxes.first().caption, QString("Error"));
        QVERIFY2(prompts.boxes.first().text.contains(boxText),
                 qPrintable(prompts.boxes.first().text));
    }
    QVERIFY(prompts.existingAsked.isEmpty());
    QCOMPARE(QDir(outDir).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"clip.3gp"});
    QVERIFY(!page->IsConverting());
    QVERIFY(page->Control(CMorvaneDlg::IdcStart)->isVisible());
}

void TestMainPage::batchOfTwoFinishes() {
    AddFiles({Fixture("avi"), Fixture("mp3", "song")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    bool sawConverting = false;
    prompts.onBox = [&] {
        // The box comes after the page is idle again.
        QVERIFY(!page->IsConverting());
        QVERIFY(page->Control(CMorvaneDlg::IdcStart)->isVisible());
    };
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (page->IsConverting()) {
            sawConverting = true;
            QVERIFY(power.awake);
            QVERIFY(page->Control(CMorvaneDlg::IdcStop)->isVisible());
            QVERIFY(!page->Control(CMorvaneDlg::IdcOutputType)->isEnabled());
            QVERIFY(!page->Control(CMorvaneDlg::IdcProfiles)->isEnabled());
            QVERIFY(!page->Control(CMorvaneDlg::IdcShutdown)->isEnabled());
            // What does nothing during a batch says so (to screen readers too); rows can
            // still be added and removed.
            for (auto id : {CMorvaneDlg::IdcRemoveAll, CMorvaneDlg::IdcBrowse})
                QVERIFY(!page->Control(id)->isEnabled());
            QVERIFY(page->Control(CMorvaneDlg::IdcAdd)->isEnabled());
        }
    });
    probe.start(5);
    ClickStart();
    probe.stop();
    QVERIFY(sawConverting);
    QVERIFY(page->Control(CMorvaneDlg::IdcAdd)->isEnabled());
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.first().caption, QString("Information"));
    QCOMPARE(prompts.boxes.first().text, finishedText);
    QCOMPARE(CellText(0, 4), QString(" Finished "));
    QCOMPARE(CellText(1, 4), QString(" Finished "));
    // A screen reader reads the Progress cell as a value too.
    QAccessibleInterface* progress =
        QAccessible::queryAccessibleInterface(page->Control(CMorvaneDlg::IdcJobList))
            ->child(1)
            ->child(4);
    QVERIFY(progress->valueInterface() != nullptr);
    QCOMPARE(progress->valueInterface()->currentValue().toInt(), 100);
    QVERIFY(QFileInfo(outDir + "/clip.3gp").size() > 0);
    QVERIFY(QFileInfo(outDir + "/song.3gp").size() > 0);
    QVERIFY(page->Control(CMorvaneDlg::IdcOutputType)->isEnabled());
    QCOMPARE(power.requests, 0);
    QVERIFY(!power.awake);
    QCOMPARE(power.inhibits, 1);
    QVERIFY(prompts.documents.isEmpty()); // OK leaves the folder closed
}

// During a batch the rows that wait can be added, trimmed, moved and removed; the running
// row cannot, and the status line says why; the output folder waits for the batch's end.
void TestMainPage::editingWhileConverting() {
    UseProfileDir(WriteFakeProfiles("until-q=\"$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    const QString clip = Fixture("avi");
    const QString other = Fixture("avi", "other");
    AddFiles({clip, clip});
    prompts.folders.append(outDir);
    page->OnBrowse();
    page->SelectRow(0);
    page->OnListClick();
    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    bool checked = false;
    QTimer::singleShot(300, this, [&] {
        QVERIFY(page->IsConverting());
        // The running row stays, and its trim cannot be touched.
        page->SelectRow(0);
        page->OnListClick();
        QVERIFY(!slider->isEnabled());
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(page->Jobs().Count(), 2);
        QCOMPARE(page->StatusText(),
                 QString("clip.avi is being converted: it cannot be changed now."));
        // A file added joins the batch; the row that waits takes a trim and moves down.
        prompts.files.append(other);
        QTest::mouseClick(page->Control(CMorvaneDlg::IdcAdd), Qt::LeftButton);
        QCOMPARE(page->Jobs().Count(), 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(1, 0).center());
        QCOMPARE(list->GetSelectionMark(), 1);
        QVERIFY(slider->isEnabled());
        slider->SetSelection(0.5, 1.0);
        RangeChangedEvent changed(RangeChangedEvent::BothEnds, 1);
        QCoreApplication::sendEvent(page, &changed);
        QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(page->Jobs().At(2).beginTime, 0.5);
        QCOMPARE(list->GetSelectionMark(), 2);
        // The added row goes again.
        page->SelectRow(1);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(page->Jobs().Count(), 2);
        // The output folder and Remove all wait for the end.
        prompts.folders.append(temp.path());
        for (auto id : {CMorvaneDlg::IdcRemoveAll, CMorvaneDlg::IdcBrowse})
            QTest::mouseClick(page->Control(id), Qt::LeftButton);
        QCOMPARE(page->Jobs().Count(), 2);
        QCOMPARE(page->OutputDir(), outDir + QDir::separator());
        QVERIFY(prompts.boxes.isEmpty());
        page->OpenHtmlHelp(); // Help still works
        QCOMPARE(prompts.documents.size(), 1);
        // The keyboard reaches Stop: Tab leaves the list, and Return presses Stop.
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(!list->hasFocus());
        page->Control(CMorvaneDlg::IdcHelp)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), page->Control(CMorvaneDlg::IdcStop));
        checked = true;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    ClickStart();
    QVERIFY(checked);
    QCOMPARE(CellText(0, 4), QString("Canceled"));
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.first().text,
             QString("Converting ended: 0 of 2 jobs finished.\n\n1 canceled, 1 not converted."));
    QCOMPARE(prompts.boxes.first().caption, QString("Information"));
    QCOMPARE(QApplication::focusWidget(), page->Control(CMorvaneDlg::IdcStart));
    QCOMPARE(page->StatusText(), QString());
    QCOMPARE(page->Jobs().At(1).beginTime, 0.5);
}

void TestMainPage::existingOutputsAreAskedAbout_data() {
    QTest::addColumn<int>("answer"); // -1: Cancel
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("oldKept");
    QTest::newRow("overwrite") << int(ExistingOutputs::Overwrite) << QStringList{"clip.3gp"}
                               << false;
    QTest::newRow("keep both") << int(ExistingOutputs::KeepBoth)
                               << QStringList{"clip (2).3gp", "clip.3gp"} << true;
    QTest::newRow("skip them") << int(ExistingOutputs::Skip) << QStringList{"clip.3gp"} << true;
    QTest::newRow("cancel") << -1 << QStringList{"clip.3gp"} << true;
}

// A file of an output's name is never replaced without a word: Start asks once.
void TestMainPage::existingOutputsAreAskedAbout() {
    QFETCH(int, answer);
    UseProfileDir(
        WriteFakeProfiles("copy=\"" + Playable3gp() + ":$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    QFile old(outDir + "/clip.3gp");
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an earlier result");
    old.close();
    AddFiles({Fixture("avi")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    prompts.existingAnswer =
        answer < 0 ? std::nullopt : std::optional(static_cast<ExistingOutputs>(answer));
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    PaintLog log(list->viewport());
    list->viewport()->repaint(); // what the adding left to paint is painted now
    log.painted = QRegion();
    ClickStart();
    QCOMPARE(prompts.existingAsked, QList<QStringList>{QStringList{"clip.3gp"}});
    if (answer == int(ExistingOutputs::KeepBoth)) {
        // The row names the file written, on the screen as soon as the name is chosen.
        QCOMPARE(CellText(0, 3), QString("clip (2).3gp"));
        QVERIFY(log.painted.intersects(list->GetCellRect(0, 3)));
    }
    QTEST(QDir(outDir).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
          "files");
    QVERIFY(old.open(QIODevice::ReadOnly));
    QFETCH(bool, oldKept);
    QCOMPARE(old.readAll() == "an earlier result", oldKept);
    QCOMPARE(prompts.boxes.isEmpty(), answer < 0); // Cancel: nothing ran, nothing to tell
}

void TestMainPage::restartClearsEveryRow() {
    TwoJobsThatCopy();
    ClickStart();
    QCOMPARE(CellText(1, 4), QString(" Finished "));

    // The second batch: while the first job runs, the last one shows no old result, on the
    // screen too (its cell is painted again).
    UseProfileDir(WriteFakeProfiles("until-q=\"$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QTRY_VERIFY(list->viewport()->visibleRegion().intersects(list->GetCellRect(1, 4)));
    PaintLog log(list->viewport());
    bool checked = false;
    bool lastRowRepainted = false;
    QString lastRowWhileFirstRuns;
    QTimer::singleShot(300, this, [&] {
        checked = page->IsConverting();
        lastRowWhileFirstRuns = CellText(1, 4);
        lastRowRepainted = log.painted.intersects(list->GetCellRect(1, 4));
        QTest::mouseClick(page->Control(CMorvaneDlg::IdcStop), Qt::LeftButton);
    });
    ClickStart();
    QVERIFY(checked);
    QCOMPARE(lastRowWhileFirstRuns, QString());
    QVERIFY(lastRowRepainted);
}

void TestMainPage::addingKeepsTheTrimOfEarlierJobs() {
    const QString clip = Fixture("avi");
    AddFiles({clip});
    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    slider->SetSelection(0.5, 1.5);
    RangeChangedEvent changed(RangeChangedEvent::BothEnds, 0);
    QCoreApplication::sendEvent(page, &changed);
    // The page resets and narrows the slider for the new file; those moves are its own.
    AddFiles({clip});
    QCOMPARE(page->Jobs().At(0).beginTime, 0.5);
    QCOMPARE(page->Jobs().At(0).endTime, 1.5);
}

void TestMainPage::stopInSecondPassOf3gp2() {
    UseProfileDir(WriteFakeProfiles("status=3 write=\"$OUTPUT_DIR$OUTPUT_FILE_temp.3gp:4096\"",
                                    "write=\"$OUTPUT_DIR$OUTPUT_FILE_temp_2.3g2:4096\" hang"));
    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    combo->setCurrentIndex(2);
    page->OnOutputTypeChanged();
    AddFiles({Fixture("avi"), Fixture("avi", "later")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    static_cast<QCheckBox*>(page->Control(CMorvaneDlg::IdcShutdown))->setChecked(true);

    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        // The passes write into the batch's hidden work folder.
        const QStringList work =
            QDir(outDir).entryList({".morvane-work-*"}, QDir::Dirs | QDir::Hidden);
        if (page->Jobs().At(0).status == JobStatus::SecondPass && !work.isEmpty() &&
            QFileInfo::exists(outDir + "/" + work.first() + "/0/clip_temp_2.3g2")) {
            poll.stop();
            QCOMPARE(CellText(0, 4), QString("Exporting"));
            QTest::mouseClick(page->Control(CMorvaneDlg::IdcStop), Qt::LeftButton);
        }
    });
    poll.start(10);
    ClickStart();
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Canceled);
    QCOMPARE(CellText(0, 4), QString("Canceled"));
    QCOMPARE(page->Jobs().At(1).status, JobStatus::Waiting);
    QCOMPARE(CellText(1, 4), QString());
    QVERIFY(QDir(outDir).isEmpty());
    QCOMPARE(power.requests, 0);
    QCOMPARE(prompts.boxes.size(), 1);
    QVERIFY(prompts.boxes.first().text.startsWith("Converting ended: 0 of 2 jobs finished."));
}

void TestMainPage::failedJobEndsInAWarning() {
    // The encoder ends well but writes nothing: the job fails, and the end says so.
    UseProfileDir(WriteFakeProfiles("status=0", "status=0"));
    AddFiles({Fixture("avi"), Fixture("avi", "second")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    ClickStart();
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Failed);
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.first().caption, QString("Warning"));
    QVERIFY(prompts.boxes.first().text.startsWith(
        "Converting ended: 0 of 2 jobs finished.\n\n2 failed.\n\nWhy a job failed"));
    QVERIFY(prompts.boxes.first().text.endsWith("log.txt"));
    // A failed row does not look like a normal or a finished one.
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    const CellInfo failed = list->GetCellInfo(0, 4);
    QCOMPARE(failed.text, QString("Failed"));
    QVERIFY(failed.progressRange <= 0);
    QVERIFY(failed.backgroundColour != list->GetCellInfo(0, 0).backgroundColour);
}

void TestMainPage::closingDuringPassAsks_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("stop and close cancels") << true;
    QTest::newRow("keep converting") << false;
}

void TestMainPage::closingDuringPassAsks() {
    QFETCH(bool, stop);
    UseProfileDir(WriteFakeProfiles("until-q=\"$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    AddFiles({Fixture("avi")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    prompts.stopOnClose = stop;
    bool stillOpen = false;
    QTimer::singleShot(300, this, [&] {
        QVERIFY(page->IsConverting());
        frame->close();
        stillOpen = frame->isVisible() && page->IsConverting();
        if (stillOpen)
            page->OnStopConverting(); // the test's own end of the batch
    });
    ClickStart();
    QCOMPARE(prompts.closeAsked, 1);
    QCOMPARE(stillOpen, !stop);
    QCOMPARE(frame->isVisible(), !stop);
    QVERIFY(!page->IsConverting());
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Canceled);
    QVERIFY(!QFileInfo::exists(outDir + "/clip.3gp"));
    QCOMPARE(prompts.boxes.isEmpty(), stop); // nothing is shown on the way out
    frame->close();                          // idle: closes without a question
    QVERIFY(!frame->isVisible());
    QCOMPARE(prompts.closeAsked, 1);
}

// The question whether to stop and close is moot once the batch has ended: it goes, and the
// window stays.
void TestMainPage::batchEndClosesTheCloseQuestion() {
    struct AskingPrompts : ScriptedPrompts {
        QWidget* AskStopAndClose(QWidget* owner, const std::function<void(bool)>& answer) override {
            return UserPrompts::AskStopAndClose(owner, answer); // the real, open question
        }
    } asking;
    UseProfileDir(WriteFakeProfiles("until-q=\"$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    AddFiles({Fixture("avi")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    page->SetUserPrompts(&asking);
    bool asked = false;
    QTimer::singleShot(300, this, [&] {
        frame->close();
        asked = frame->findChild<QMessageBox*>() != nullptr;
        page->OnStopConverting(); // the batch ends another way
    });
    ClickStart();
    QVERIFY(asked);
    QTRY_VERIFY(frame->findChild<QMessageBox*>() == nullptr);
    QVERIFY(frame->isVisible());
    page->SetUserPrompts(&prompts);
}

// The batch menu sets the jobs side by side; the title tells the batch's share done; Pause,
// "Stop after current jobs" and "Retry failed" are there when they mean something.
void TestMainPage::jobsSideBySideFromTheMenu() {
    UseProfileDir(WriteFakeProfiles("until-q=\"$OUTPUT_DIR$OUTPUT_FILE.3gp\"", "hang"));
    const QString clip = Fixture("avi");
    AddFiles({clip, clip, clip});
    prompts.folders.append(outDir);
    page->OnBrowse();
    const auto action = [](QMenu* menu, const QString& text) {
        for (QAction* item : menu->actions()) {
            if (item->text().remove(u'&') == text)
                return item;
        }
        return static_cast<QAction*>(nullptr);
    };
    QMenu* before = page->CreateBatchMenu();
    QVERIFY(!action(before, "Pause")->isEnabled());
    QVERIFY(!action(before, "Retry failed")->isEnabled());
    QMenu* side = action(before, "Simultaneous jobs")->menu();
    side->actions().at(2)->trigger(); // "2"
    delete before;
    QCOMPARE(page->SimultaneousJobs(), 2);

    QString title;
    bool menuChecked = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        const Job& second = page->Jobs().At(1);
        if (second.status != JobStatus::FirstPass || second.sizeKB == 0)
            return;
        probe.stop();
        // Two jobs at once, the third waits.
        QCOMPARE(page->Jobs().At(0).status, JobStatus::FirstPass);
        QCOMPARE(page->Jobs().At(2).status, JobStatus::Waiting);
        page->UpdateTitle();
        title = frame->windowTitle();
        QMenu* during = page->CreateBatchMenu();
        QVERIFY(action(during, "Pause")->isEnabled());
        QVERIFY(action(during, "Stop after current jobs")->isEnabled());
        QVERIFY(!action(during, "Simultaneous jobs")->isEnabled());
        delete during;
        menuChecked = true;
        QTest::mouseClick(page->Control(CMorvaneDlg::IdcStop), Qt::LeftButton);
    });
    probe.start(5);
    ClickStart();
    QVERIFY(menuChecked);
    QVERIFY2(QRegularExpression("^\\d+% - .*Morvane$").match(title).hasMatch(), qPrintable(title));
    QCOMPARE(frame->windowTitle(), QString("Morvane"));
    QCOMPARE(CellText(0, 4), QString("Canceled"));
    QCOMPARE(CellText(1, 4), QString("Canceled"));
    QMenu* after = page->CreateBatchMenu();
    QVERIFY(action(after, "Retry failed")->isEnabled());
    delete after;
}

void TestMainPage::shutdownPaths_data() {
    QTest::addColumn<bool>("allow");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("boxes");
    QTest::newRow("powers off after the countdown, without a box") << true << false << 1 << 0;
    QTest::newRow("cancel keeps the computer on") << true << true << 0 << 0;
    QTest::newRow("refused: said when the box is ticked") << false << false << 0 << 2;
}

void TestMainPage::shutdownPaths() {
    QFETCH(bool, allow);
    QFETCH(bool, cancel);
    QFETCH(int, requests);
    QFETCH(int, boxes);
    power.allow = allow;
    AddFiles({Fixture("wav", "tone")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    auto* shutdown = static_cast<QCheckBox*>(page->Control(CMorvaneDlg::IdcShutdown));
    shutdown->setChecked(true);
    QCOMPARE(power.checks, 1);
    if (!allow) {
        // Said at once, not after the batch and a minute's countdown: the box is cleared and
        // the batch ends as any other.
        QVERIFY(!shutdown->isChecked());
        QCOMPARE(prompts.boxes.size(), 1);
        QCOMPARE(prompts.boxes.first().text,
                 QString("Your computer cannot shutdown\n\nnot permitted\n\nConverting will not "
                         "end with a shutdown."));
        QCOMPARE(prompts.boxes.first().caption, QString("Warning"));
        ClickStart();
        QVERIFY(prompts.countdown == nullptr);
        QCOMPARE(power.requests, requests);
        QCOMPARE(prompts.boxes.size(), boxes);
        QCOMPARE(prompts.boxes.last().text, finishedText);
        return;
    }
    ClickStart();
    QCOMPARE(power.checks, 2); // asked again at Start
    // Nothing is powered off before the minute is over.
    QVERIFY(prompts.countdown != nullptr);
    QCOMPARE(prompts.countdown->Remaining(), ShutdownCountdown::Seconds);
    QCOMPARE(power.requests, 0);
    for (int second = 1; second < ShutdownCountdown::Seconds; ++second)
        prompts.countdown->Step();
    QCOMPARE(power.requests, 0);
    if (cancel)
        prompts.countdown->Cancel();
    prompts.countdown->Step();
    QTRY_COMPARE(power.requests, requests);
    QCOMPARE(prompts.boxes.size(), boxes);
    QCOMPARE(CellText(0, 4), QString(" Finished "));
}

void TestMainPage::helpOpensPages() {
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcHelp), Qt::LeftButton);
    QTest::keyClick(frame.get(), Qt::Key_F1);
    QCOMPARE(prompts.documents.size(), 2);
    QCOMPARE(prompts.documents.at(0), AppPaths::ProgramDir() + "help/help.html");
    // Without a compiled help file beside the program, F1 opens the HTML help too.
    QCOMPARE(prompts.documents.at(1), AppPaths::ProgramDir() + "help/help.html");
}

// Where no program opens a document (no browser, no file manager), the user is told where it
// is, rather than nothing happening.
void TestMainPage::openingWithoutAProgramSaysSo() {
    struct RecordingPrompts : UserPrompts {
        QStringList texts;
        void MessageBox(QWidget*, const QString& text, const QString&, Icon) override {
            texts.append(text);
        }
    } real;
    QTemporaryDir desktop; // a desktop that knows no program for anything
    const QList<QByteArray> names{"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                  "XDG_DATA_DIRS"};
    QHash<QByteArray, QByteArray> before;
    for (const QByteArray& name : names) {
        if (qEnvironmentVariableIsSet(name.constData()))
            before.insert(name, qgetenv(name.constData()));
        qputenv(name.constData(), desktop.path().toLocal8Bit());
    }
    const auto restore = qScopeGuard([&] {
        for (const QByteArray& name : names) {
            if (before.contains(name))
                qputenv(name.constData(), before.value(name));
            else
                qunsetenv(name.constData());
        }
    });
    const QString document = temp.filePath("nothing opens this.morvane-test");
    QFile file(document);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x01\x02");
    file.close();
    real.OpenDocument(page, document);
    QTRY_COMPARE(real.texts.size(), 1);
    QVERIFY2(real.texts.first().contains(QDir::toNativeSeparators(document)),
             qPrintable(real.texts.first()));
}

void TestMainPage::dragLeftEndEditsBeginAndAsksOneStill() {
    AddFiles({Fixture("avi")});
    auto* video = static_cast<CVideoEdit*>(page->Control(CMorvaneDlg::IdcMediaControl));
    QTRY_VERIFY(!page->StillPending()); // the still of the new file has been shown
    QSignalSpy positions(video, &CVideoEdit::OnPlayPosition);

    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    const int y = slider->height() / 2;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(CRangeSlider::ThumbWidth / 2, y));
    QTest::mouseMove(slider, QPoint(60, y));
    const double during = page->Jobs().At(0).beginTime;
    QVERIFY(during > 0.0);
    QCOMPARE(CellText(0, 1), QString("00:00:00")); // whole seconds of a begin under one second
    QTest::mouseMove(slider, QPoint(120, y));
    QVERIFY(page->Jobs().At(0).beginTime > during);
    QVERIFY(!page->StillPending()); // no picture while the drag goes on
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(120, y));

    const double begin = page->Jobs().At(0).beginTime;
    QCOMPARE(slider->GetSelection().first, begin);
    QCOMPARE(CellText(0, 1), FormatHms(begin));
    QVERIFY(page->StillPending()); // one still, at the new begin
    QTRY_VERIFY(!page->StillPending());
    QVERIFY(!positions.isEmpty());
    QVERIFY2(qAbs(positions.first().first().toDouble() - begin) < 0.1,
             qPrintable(QString::number(positions.first().first().toDouble())));
    QTRY_VERIFY(!video->IsPlaying());
}

void TestMainPage::latestStillRequestWins() {
    const QString clip = Fixture("avi");
    auto* video = static_cast<CVideoEdit*>(page->Control(CMorvaneDlg::IdcMediaControl));
    QSignalSpy positions(video, &CVideoEdit::OnPlayPosition);
    AddFiles({clip}); // asks for the still at 1.0 s
    QVERIFY(page->StillPending());
    page->ShowStill(clip, 0.2); // a thumb released again before the first picture came
    QTRY_VERIFY(!page->StillPending());
    QTest::qWait(100); // a late picture of the first request would arrive here
    QCOMPARE(positions.size(), 1);
    QVERIFY2(qAbs(positions.first().first().toDouble() - 0.2) < 0.05,
             qPrintable(QString::number(positions.first().first().toDouble())));
    QVERIFY(!video->IsPlaying());
}

void TestMainPage::stillOfAClipWithoutPictureThere_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("picture starts 2 s after the sound") << "late";
    QTest::newRow("VOB cut inside a group of pictures") << "cut";
}

void TestMainPage::stillOfAClipWithoutPictureThere() {
    QFETCH(QString, kind);
    MediaFixtures fixtures(fixtureDir);
    QString path;
    if (kind == "late") {
        path =
            fixtures.MakeWith("late.mkv", {"-f",         "lavfi",
                                           "-i",         "sine=duration=4",
                                           "-itsoffset", "2",
                                           "-f",         "lavfi",
                                           "-i",         "testsrc=size=160x120:rate=25:duration=2",
                                           "-map",       "1:v",
                                           "-map",       "0:a",
                                           "-c:v",       "mpeg4",
                                           "-c:a",       "libmp3lame",
                                           "-f",         "matroska"});
    } else {
        // Groups of pictures of 4 s: cut just after the first one starts, the next whole one
        // is 3 s into the clip.
        const QString whole = fixtures.MakeWith(
            "whole.vob", {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=8", "-f",
                          "lavfi", "-i", "sine=duration=8", "-c:v", "mpeg2video", "-g", "100",
                          "-bf", "2", "-c:a", "mp2", "-f", "vob"});
        QFile source(whole);
        QVERIFY(source.open(QIODevice::ReadOnly));
        path = temp.filePath("cut.vob");
        QFile cut(path);
        QVERIFY(cut.open(QIODevice::WriteOnly | QIODevice::Truncate));
        source.seek(source.size() / 8 + 1000); // not on a pack, inside a group of pictures
        cut.write(source.readAll());
    }
    QVERIFY2(!path.isEmpty(), qPrintable(fixtures.LastError()));
    auto* video = static_cast<CVideoEdit*>(page->Control(CMorvaneDlg::IdcMediaControl));
    AddFiles({path}); // the still at 1.0 s: a second that holds no picture
    QCOMPARE(page->Jobs().Count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!page->StillPending(), 5000);
    QVERIFY(!AllBlack(video));  // the nearest picture
    page->ShowStill(path, 0.5); // and the next request is not dropped
    QTRY_VERIFY_WITH_TIMEOUT(!page->StillPending(), 5000);
    QVERIFY(!AllBlack(video));
}

void TestMainPage::failedStillDoesNotStopLaterOnes() {
    const QString kept = Fixture("avi");
    const QString gone = temp.filePath("gone.avi");
    QFile::remove(gone);
    QVERIFY(QFile::copy(kept, gone));
    AddFiles({kept, gone});
    auto* video = static_cast<CVideoEdit*>(page->Control(CMorvaneDlg::IdcMediaControl));
    QTRY_VERIFY(!page->StillPending());
    QVERIFY(QFile::remove(gone)); // deleted since it was added
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(0, 0).center());
    QTRY_VERIFY(!page->StillPending());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(1, 0).center());
    QCOMPARE(page->CurrentJob(), 1);
    QTRY_VERIFY(!page->StillPending()); // the failure ends the request
    QVERIFY(AllBlack(video));
    QVERIFY(prompts.boxes.isEmpty());

    QSignalSpy positions(video, &CVideoEdit::OnPlayPosition);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(0, 0).center());
    QTRY_VERIFY(!page->StillPending());
    QCOMPARE(positions.size(), 1); // the next job's picture shows
    QVERIFY(!AllBlack(video));
}

void TestMainPage::severalFilesAndAFolderAreAdded() {
    MediaFixtures fixtures(fixtureDir);
    const auto colourClip = [&](const QString& folder, const QString& name, const char* colour) {
        return MediaFixtures(folder).MakeWith(
            name,
            {"-f", "lavfi", "-i", QStringLiteral("color=c=%1:size=160x120:rate=25:d=2").arg(colour),
             "-c:v", "mpeg4", "-f", "avi"});
    };
    const QString blue = colourClip(fixtureDir, "blue.avi", "blue");
    const QString folder = temp.filePath("picked folder");
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/deeper");
    QVERIFY(QFile::copy(Fixture("mp3", "tone"), folder + "/a tone.mp3"));
    QFile notes(folder + "/b notes.avi");
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not a video");
    notes.close();
    QVERIFY(!colourClip(folder, "c red.avi", "red").isEmpty());
    QVERIFY(QFile::copy(blue, folder + "/deeper/not this.avi"));
    QVERIFY(QFile::copy(blue, folder + "/readme.txt"));

    prompts.fileLists.append({blue, folder});
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcAdd), Qt::LeftButton);
    QCOMPARE(prompts.startDirs.size(), 1);
    QStringList names;
    for (int row = 0; row < page->Jobs().Count(); ++row)
        names.append(CellText(row, 0));
    QCOMPARE(names, (QStringList{"blue.avi", "a tone.mp3", "c red.avi"}));
    QCOMPARE(prompts.boxes.size(), 1); // one box, after the add, names the unreadable file
    QVERIFY(prompts.boxes.first().text.contains("b notes.avi"));

    // The last added row is current, and its picture is the one shown.
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QCOMPARE(page->CurrentJob(), 2);
    QCOMPARE(list->GetSelectionMark(), 2);
    auto* video = page->Control(CMorvaneDlg::IdcMediaControl);
    QTRY_VERIFY(!page->StillPending());
    const QColor middle = MiddleColour(video);
    QVERIFY2(middle.red() > 180 && middle.blue() < 80, qPrintable(middle.name()));

    // The next Add opens where the last one picked from.
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcAdd), Qt::LeftButton);
    QCOMPARE(prompts.startDirs.size(), 2);
    QCOMPARE(QDir(prompts.startDirs.at(1)), QDir(fixtureDir));
}

void TestMainPage::previewPlaysTheTrimmedRange() {
    AddFiles({Fixture("avi")});
    auto* video = static_cast<CVideoEdit*>(page->Control(CMorvaneDlg::IdcMediaControl));
    QTRY_VERIFY(!page->StillPending());
    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    slider->SetSelection(0.5, 1.5);
    RangeChangedEvent changed(RangeChangedEvent::BothEnds, 0); // as a key step reports it
    QCoreApplication::sendEvent(page, &changed);
    QCOMPARE(page->Jobs().At(0).beginTime, 0.5);
    QCOMPARE(page->Jobs().At(0).endTime, 1.5);

    QSignalSpy positions(video, &CVideoEdit::OnPlayPosition);
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcPreview), Qt::LeftButton);
    QVERIFY(page->RangePlaying());
    QTRY_VERIFY_WITH_TIMEOUT(positions.size() >= 3, 5000);
    QVERIFY(video->IsPlaying()); // a range preview runs on past its first position
    QTRY_VERIFY_WITH_TIMEOUT(!video->IsPlaying(), 5000);
    const double first = positions.first().first().toDouble();
    const double last = positions.last().first().toDouble();
    QVERIFY2(qAbs(first - 0.5) < 0.1, qPrintable(QString::number(first)));
    QVERIFY2(last <= 1.5 + 0.05 && last > 1.2, qPrintable(QString::number(last)));

    // Stop with nothing playing still clears the range flag.
    QTest::mouseClick(page->Control(CMorvaneDlg::IdcStopPreview), Qt::LeftButton);
    QVERIFY(!page->RangePlaying());
}

void TestMainPage::buttonKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("held"); // only the key's repeats arrive
    QTest::newRow("Return") << int(Qt::Key_Return) << false;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << false;
    QTest::newRow("held Return presses nothing") << int(Qt::Key_Return) << true;
    QTest::newRow("held Space presses nothing") << int(Qt::Key_Space) << true;
}

void TestMainPage::buttonKeys() {
    // A focused button reacts to Return and Space as to a click, once: a held key's repeats
    // (which follow whatever its first press did: a box closed, a batch started) press nothing.
    QFETCH(int, key);
    QFETCH(bool, held);
    const auto press = [key, held](QWidget* button) {
        button->setFocus(Qt::TabFocusReason);
        if (!held) {
            QTest::keyClick(button, Qt::Key(key));
            return;
        }
        for (int i = 0; i < 3; ++i) {
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(button, &down);
            QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(button, &up);
        }
    };
    const QString clip = Fixture("avi");
    AddFiles({clip, clip});
    prompts.folders.append(outDir);
    press(page->Control(CMorvaneDlg::IdcRemove));
    QCOMPARE(page->Jobs().Count(), held ? 2 : 1);
    press(page->Control(CMorvaneDlg::IdcBrowse));
    QCOMPARE(page->OutputDir() == outDir + QDir::separator(), !held);
    if (!held)
        return;
    QSignalSpy started(&page->Engine(), &ConversionEngine::ConvertingChanged);
    press(page->Control(CMorvaneDlg::IdcStart));
    QVERIFY(started.isEmpty());
    QVERIFY(prompts.boxes.isEmpty());
}

void TestMainPage::tabOrder() {
    AddFiles({Fixture("avi")});
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    // From the top left to the bottom right; the output directory is not editable.
    const QList<CMorvaneDlg::ControlId> order{
        CMorvaneDlg::IdcPreview,    CMorvaneDlg::IdcStopPreview, CMorvaneDlg::IdcTrimSlider,
        CMorvaneDlg::IdcOutputType, CMorvaneDlg::IdcProfiles,    CMorvaneDlg::IdcShutdown,
        CMorvaneDlg::IdcBrowse,     CMorvaneDlg::IdcJobList,     CMorvaneDlg::IdcAdd,
        CMorvaneDlg::IdcRemove,     CMorvaneDlg::IdcRemoveAll,   CMorvaneDlg::IdcLink1,
        CMorvaneDlg::IdcLink3,      CMorvaneDlg::IdcLink2,       CMorvaneDlg::IdcLink4,
        CMorvaneDlg::IdcHelp,       CMorvaneDlg::IdcStart};
    page->Control(order.first())->setFocus(Qt::TabFocusReason);
    for (qsizetype i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), page->Control(order.at(i)));
    }
    for (qsizetype i = order.size() - 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), page->Control(order.at(i)));
    }
}

void TestMainPage::typedTimes_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    // Expected trim; -1 stands for the clip's length.
    QTest::addColumn<double>("begin");
    QTest::addColumn<double>("end");
    QTest::addColumn<bool>("editorStays");

    QTest::newRow("begin in seconds") << 1 << "0.5" << 0.5 << -1.0 << false;
    QTest::newRow("begin as h:m:s with a fraction") << 1 << "0:00:01.25" << 1.25 << -1.0 << false;
    QTest::newRow("begin past the end is refused") << 1 << "99" << 0.0 << -1.0 << true;
    QTest::newRow("end before the begin is refused") << 2 << "0" << 0.0 << -1.0 << true;
    QTest::newRow("end as m:s") << 2 << "00:01.5" << 0.0 << 1.5 << false;
    QTest::newRow("end past the clip: its length") << 2 << "1:00:00" << 0.0 << -1.0 << false;
    QTest::newRow("no time: the editor stays") << 1 << "1:2:3:4" << 0.0 << -1.0 << true;
    QTest::newRow("sixty seconds is no field") << 2 << "0:60" << 0.0 << -1.0 << true;
    QTest::newRow("negative is no time") << 1 << "-1" << 0.0 << -1.0 << true;
}

void TestMainPage::typedTimes() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(double, begin);
    QFETCH(double, end);
    QFETCH(bool, editorStays);
    AddFiles({Fixture("avi")});
    const double length = page->Jobs().At(0).endTime;
    QVERIFY(length > 1.5);
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->GetCellRect(0, column).center());
    auto* editor = list->viewport()->findChild<QLineEdit*>("timeEditor");
    QVERIFY(editor != nullptr);
    QVERIFY(editor->hasFocus());
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(page->Jobs().At(0).beginTime, begin < 0 ? length : begin);
    QCOMPARE(page->Jobs().At(0).endTime, end < 0 ? length : end);
    QCOMPARE(editor->isVisible(), editorStays);
    if (editorStays) {
        QCOMPARE(editor->text(), typed); // nothing the user typed is lost
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        return;
    }
    // The slider shows the typed trim.
    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    QCOMPARE(slider->GetSelection(),
             std::make_pair(page->Jobs().At(0).beginTime, page->Jobs().At(0).endTime));
}

void TestMainPage::textsShowWhole() {
    // At the default font every text of the page fits its control.
    for (auto id :
         {CMorvaneDlg::IdcOutputTypeLabel, CMorvaneDlg::IdcProfileLabel,
          CMorvaneDlg::IdcDirectoryLabel, CMorvaneDlg::IdcShutdown, CMorvaneDlg::IdcOutputType}) {
        QWidget* control = page->Control(id);
        QVERIFY2(control->sizeHint().width() <= control->width(),
                 qPrintable(QStringLiteral("%1: %2 > %3")
                                .arg(id)
                                .arg(control->sizeHint().width())
                                .arg(control->width())));
    }
    for (auto id : {CMorvaneDlg::IdcLink1, CMorvaneDlg::IdcLink2, CMorvaneDlg::IdcLink3,
                    CMorvaneDlg::IdcLink4}) {
        auto* link = static_cast<QLabel*>(page->Control(id));
        QVERIFY(QFontMetrics(link->font()).horizontalAdvance(link->text()) <= link->width());
        QVERIFY(link->geometry().right() < page->Control(CMorvaneDlg::IdcHelp)->x());
    }
    // Profile titles and file names too long for their place show whole as tooltips.
    auto* profiles = static_cast<QListWidget*>(page->Control(CMorvaneDlg::IdcProfiles));
    for (int i = 0; i < profiles->count(); ++i)
        QCOMPARE(profiles->item(i)->toolTip(), profiles->item(i)->text());
    // Every column shows whole: the list never scrolls sideways.
    auto* jobs = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QCOMPARE(jobs->GetHeaderCtrl()->length(), jobs->viewport()->width());
    QVERIFY(!jobs->horizontalScrollBar()->isVisible());
    const QString longName = "a holiday video whose name is far too long for its column";
    const QString longFile = Fixture("avi", longName);
    AddFiles({longFile});
    auto* list = static_cast<CCellListCtrl*>(page->Control(CMorvaneDlg::IdcJobList));
    QCOMPARE(list->CellToolTip(0, 0), QDir::toNativeSeparators(longFile)); // with its folder
    // The output's name whole, then its expected size.
    QVERIFY(list->CellToolTip(0, 3).startsWith(longName + ".3gp, about "));
    QCOMPARE(list->CellToolTip(0, 1), QString());
}

void TestMainPage::skinDressesThePageOnly() {
    // A dark desktop palette: the skinned page keeps its own light one, and the sheet stays
    // off the application, so standard dialogs keep the desktop's look.
    QPalette dark(QColor(45, 45, 48));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    const QPalette before = QApplication::palette();
    QApplication::setPalette(dark);
    SkinEngine& skin = SkinEngine::Instance();
    skin.Call(SkinEngine::Reset);
    skin.Call(SkinEngine::Enable, 1);
    skin.Call(SkinEngine::LoadSkinFile, QDir(TestPaths::ProgramDir()).filePath("Derov.skf"));
    skin.Call(SkinEngine::ApplySkin);
    QVERIFY(skin.IsApplied());
    {
        CFrameDlg skinned;
        CMorvaneDlg& skinnedPage = skinned.Page();
        QVERIFY(qApp->styleSheet().isEmpty());
        QVERIFY(!skinnedPage.styleSheet().isEmpty());
        for (auto id :
             {CMorvaneDlg::IdcOutputType, CMorvaneDlg::IdcJobList, CMorvaneDlg::IdcProfiles}) {
            const QPalette colours = skinnedPage.Control(id)->palette();
            QVERIFY(colours.color(QPalette::Base).lightness() > 200);
            QVERIFY(colours.color(QPalette::Text).lightness() < 100);
            QVERIFY(colours.color(QPalette::ButtonText).lightness() < 100);
        }
        auto* combo = static_cast<QComboBox*>(skinnedPage.Control(CMorvaneDlg::IdcOutputType));
        QVERIFY(combo->view()->palette().color(QPalette::Base).lightness() > 200);
    }
    skin.Call(SkinEngine::Release);
    QApplication::setPalette(before);
}

void TestMainPage::accessibleControls() {
    // Every control a screen reader reaches has a name; the job list reads as rows of
    // cells, the slider as its two ends.
    for (int id = CMorvaneDlg::IdcJobList; id <= CMorvaneDlg::IdcLink4; ++id) {
        QWidget* control = page->Control(CMorvaneDlg::ControlId(id));
        if (control == nullptr || control->focusPolicy() == Qt::NoFocus ||
            qobject_cast<QLabel*>(control) != nullptr)
            continue;
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(!access->text(QAccessible::Name).isEmpty(), qPrintable(control->objectName()));
    }
    QAccessibleInterface* add =
        QAccessible::queryAccessibleInterface(page->Control(CMorvaneDlg::IdcAdd));
    QCOMPARE(add->text(QAccessible::Description), QString("Add a video to converting task"));

    AddFiles({Fixture("avi"), Fixture("mp3", "song")});
    QAccessibleInterface* list =
        QAccessible::queryAccessibleInterface(page->Control(CMorvaneDlg::IdcJobList));
    QCOMPARE(list->role(), QAccessible::Table);
    QCOMPARE(list->childCount(), 2);
    QAccessibleInterface* row = list->child(1);
    QCOMPARE(row->role(), QAccessible::Row);
    QVERIFY(row->state().selected); // the job just added is the current one
    QVERIFY(!list->child(0)->state().selected);
    QCOMPARE(row->childCount(), 5);
    QCOMPARE(row->child(0)->text(QAccessible::Name), QString("song.mp3"));
    QCOMPARE(row->child(3)->text(QAccessible::Name), QString("song.3gp"));
    QVERIFY(row->child(3)->text(QAccessible::Description).startsWith("Output: song.3gp, about "));
    QCOMPARE(list->indexOfChild(row), 1);
    QVERIFY(row->text(QAccessible::Name).startsWith("song.mp3, 00:00:00, "));

    auto* slider = static_cast<CRangeSlider*>(page->Control(CMorvaneDlg::IdcTrimSlider));
    QAccessibleInterface* trim = QAccessible::queryAccessibleInterface(slider);
    QCOMPARE(trim->childCount(), 2);
    QAccessibleValueInterface* end = trim->child(1)->valueInterface();
    QVERIFY(end != nullptr);
    QCOMPARE(end->currentValue().toDouble(), page->Jobs().At(1).endTime);
    // Setting a value moves that end as the keys do, and the job takes it.
    end->setCurrentValue(1.0);
    QCOMPARE(page->Jobs().At(1).endTime, 1.0);
    QCOMPARE(trim->text(QAccessible::Value), QString("00:00:00 to 00:00:01"));
}

void TestMainPage::batchEndTexts_data() {
    QTest::addColumn<QList<int>>("counts"); // finished, failed, canceled, skipped, not converted
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    const QString log = QDir::toNativeSeparators("/data/log.txt");
    QTest::newRow("all finished") << QList<int>{3, 0, 0, 0, 0} << finishedText << "Information";
    QTest::newRow("one failed")
        << QList<int>{2, 1, 0, 0, 0}
        << "Converting ended: 2 of 3 jobs finished.\n\n2 finished, 1 failed.\n\nWhy a job "
           "failed shows in the tooltip of its Progress cell and in " +
               log
        << "Warning";
    QTest::newRow("stopped") << QList<int>{1, 0, 1, 0, 2}
                             << "Converting ended: 1 of 4 jobs finished.\n\n1 finished, 1 "
                                "canceled, 2 not converted."
                             << "Information";
    QTest::newRow("skipped only") << QList<int>{0, 0, 0, 2, 0}
                                  << "Converting ended: nothing was converted.\n\n2 jobs skipped: "
                                     "their output files existed and were kept."
                                  << "Information";
    QTest::newRow("the others skipped on purpose")
        << QList<int>{1, 0, 0, 4, 0}
        << "Converting ended: 1 of 1 job finished.\n\n4 jobs skipped: their output files "
           "existed and were kept."
        << "Information";
    QTest::newRow("one job, canceled")
        << QList<int>{0, 0, 1, 0, 0} << "Converting ended: 0 of 1 job finished.\n\n1 canceled."
        << "Information";
    QTest::newRow("every outcome")
        << QList<int>{1, 1, 1, 1, 1}
        << "Converting ended: 1 of 4 jobs finished.\n\n1 finished, 1 failed, 1 canceled, 1 not "
           "converted.\n\n1 job skipped: its output file existed and was kept.\n\nWhy a job "
           "failed shows in the tooltip of its Progress cell and in " +
               log
        << "Warning";
}

void TestMainPage::batchEndTexts() {
    QFETCH(QList<int>, counts);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    JobList jobs;
    const JobStatus statuses[] = {JobStatus::Finished, JobStatus::Failed, JobStatus::Canceled,
                                  JobStatus::Skipped, JobStatus::Waiting};
    for (int kind = 0; kind < 5; ++kind) {
        for (int i = 0; i < counts.at(kind); ++i) {
            Job job = Job::FromPath(QStringLiteral("/v/clip%1%2.avi").arg(kind).arg(i), 2.0);
            job.status = statuses[kind];
            jobs.Append(job);
        }
    }
    const BatchCounts outcome = BatchCounts::Of(jobs);
    QCOMPARE(BatchEndText(outcome, "/data/log.txt"), text);
    QCOMPARE(BatchEndCaption(outcome), caption);
}

void TestMainPage::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("printed");
    QTest::newRow("help") << QStringList{"--help"} << "Usage:";
    QTest::newRow("version") << QStringList{"--version"} << "Morvane 0.";
}

void TestMainPage::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, printed);
    // Printed to the console; no window, no box, and no display needed.
    QProcess program;
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.remove("DISPLAY");
    noDisplay.remove("WAYLAND_DISPLAY");
    noDisplay.insert("QT_QPA_PLATFORM", "xcb");
    program.setProcessEnvironment(noDisplay);
    program.start(QDir(TestPaths::ProgramDir()).filePath("morvane"), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(printed));

    // Names relative to the folder the program was started from.
    const QString start = temp.filePath("started here");
    QCOMPARE(CMorvaneApp::CommandLineFiles({"morvane", "clip one.avi", "sub/two.mpg", "/abs/x.avi"},
                                           start),
             (QStringList{start + "/clip one.avi", start + "/sub/two.mpg", "/abs/x.avi"}));
}

void TestMainPage::boxesDefaultToTheSafeAnswer_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::newRow("existing files: Return cancels") << "existing" << int(Qt::Key_Return);
    QTest::newRow("existing files: Escape cancels") << "existing" << int(Qt::Key_Escape);
    QTest::newRow("end box: Escape closes it") << "end" << int(Qt::Key_Escape);
    QTest::newRow("closing: Return keeps converting") << "close" << int(Qt::Key_Return);
    QTest::newRow("closing: Escape keeps converting") << "close" << int(Qt::Key_Escape);
}

// The boxes themselves (not the test's answers): a key pressed by chance takes the answer
// that changes nothing.
void TestMainPage::boxesDefaultToTheSafeAnswer() {
    QFETCH(QString, box);
    QFETCH(int, key);
    UserPrompts real;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* shown = frame->findChild<QMessageBox*>();
        if (shown == nullptr || !shown->isVisible())
            return;
        answer.stop();
        QTest::keyClick(shown, Qt::Key(key));
    });
    answer.start(10);
    if (box == "existing") {
        QCOMPARE(real.AskExistingOutputs(page, {"clip.3gp"}), std::nullopt);
    } else if (box == "end") {
        bool opened = false;
        real.BatchEndBox(page, finishedText, "Information", UserPrompts::Icon::Information,
                         [&] { opened = true; });
        QTRY_VERIFY(frame->findChild<QMessageBox*>() == nullptr);
        QVERIFY(!opened);
    } else {
        int stop = -1;
        real.AskStopAndClose(page, [&](bool answered) { stop = answered; });
        QTRY_COMPARE(stop, 0);
    }
}

// "Stop after current jobs" leaves the rows it did not reach for "Retry failed".
void TestMainPage::stopAfterCurrentLeavesRetry() {
    TwoJobsThatCopy();
    // Asked for as the batch starts, before its first job: no job starts.
    connect(&page->Engine(), &ConversionEngine::ConvertingChanged, this, [this](bool on) {
        if (on)
            page->OnStopAfterCurrent();
    });
    ClickStart();
    QCOMPARE(prompts.boxes.size(), 1);
    QCOMPARE(prompts.boxes.first().text,
             QString("Converting ended: 0 of 2 jobs finished.\n\n2 not converted."));
    disconnect(&page->Engine(), &ConversionEngine::ConvertingChanged, this, nullptr);
    RetryFailed();
    QCOMPARE(CellText(0, 4), QString(" Finished "));
    QCOMPARE(CellText(1, 4), QString(" Finished "));
}

// The list, type and profile come back at the next start; after a crash the row that was
// converting shows "Interrupted", a file gone since stays as missing, and "Retry failed"
// converts exactly the rows that did not finish.
void TestMainPage::rememberedListComesBack() {
    TwoJobsThatCopy();
    const QString gone = QFileInfo(Fixture("avi")).absolutePath() + "/gone.avi";
    QFile::copy(Fixture("avi"), gone);
    AddFiles({gone});
    auto* combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    combo->setCurrentIndex(1);
    page->OnOutputTypeChanged();
    frame.reset(); // the list is written at the latest as the window goes

    // What a kill in the middle of the first batch leaves: the first row finished, the second
    // converting.
    const QString path = QueueStore::DefaultPath();
    Result<QueueState> state = QueueStore::Read(path);
    QVERIFY2(state, qPrintable(state.error()));
    QCOMPARE(state->jobs.Count(), 3);
    QCOMPARE(state->outputType, 1);
    Job first = state->jobs.At(0);
    first.status = JobStatus::Finished;
    first.writtenName = "clip.3gp";
    state->jobs.Set(0, first);
    Job second = state->jobs.At(1);
    second.status = JobStatus::FirstPass;
    state->jobs.Set(1, second);
    QVERIFY(QueueStore::Write(path, *state));
    QFile earlier(outDir + "/clip.3gp");
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("the first row's result");
    earlier.close();
    QVERIFY(QFile::remove(gone));

    frame = std::make_unique<CFrameDlg>();
    page = &frame->Page();
    page->SetUserPrompts(&prompts);
    page->SetPowerControl(&power);
    combo = static_cast<QComboBox*>(page->Control(CMorvaneDlg::IdcOutputType));
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(page->Jobs().Count(), 3);
    QCOMPARE(CellText(0, 4), QString(" Finished "));
    QCOMPARE(CellText(1, 4), QString("Interrupted"));
    QCOMPARE(CellText(2, 4), QString("Source missing"));
    QCOMPARE(CellText(2, 0), QString("gone.avi"));

    RetryFailed();
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Finished);
    QCOMPARE(page->Jobs().At(1).status, JobStatus::Finished);
    QCOMPARE(page->Jobs().At(2).status, JobStatus::Failed);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("the first row's result")); // not converted twice
    QCOMPARE(QDir(outDir).entryList(QDir::Files), (QStringList{"clip (2).3gp", "clip.3gp"}));
}

// "Fit into" of the batch menu reaches the batch: a profile that names no video rate cannot
// make a file of a size, and says so rather than finishing one of any size. "Show log" shows
// that entry and those that follow.
void TestMainPage::fitIntoAndShowLogFromTheMenu() {
    TwoJobsThatCopy();
    auto menuItem = [](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* item : menu->actions()) {
            if (item->text().remove(u'&') == text)
                return item;
        }
        return nullptr;
    };
    QMenu* menu = page->CreateBatchMenu();
    QAction* fit = menuItem(menu, "Fit into");
    QVERIFY(fit != nullptr && fit->menu() != nullptr);
    QAction* size = menuItem(fit->menu(), "300 KB");
    QVERIFY(size != nullptr);
    size->trigger();
    delete menu;
    QCOMPARE(page->Extras()->FitBytes(), qint64(300000));
    ClickStart();
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Failed);
    const QString reason("This profile names no video rate (-b:v), so its files cannot be fitted "
                         "to a size.");
    QCOMPARE(page->Jobs().At(0).failReason, reason);
    QVERIFY(QDir(outDir).entryList(QDir::Files).isEmpty());

    menu = page->CreateBatchMenu();
    QAction* showLog = menuItem(menu, "Show log");
    QVERIFY(showLog != nullptr);
    showLog->trigger();
    delete menu;
    auto* log = frame->findChild<LogWindow*>();
    QVERIFY(log != nullptr && log->isVisible() && !log->isModal());
    QVERIFY(log->Text().contains(reason));
    AppendToLog("WORK:    a later entry\n");
    QTRY_VERIFY(log->Text().contains("a later entry"));
}

// A batch whose files will not fit on the output folder's disk is asked about before anything
// runs, and Cancel (the default) runs nothing.
void TestMainPage::tooLittleFreeSpaceAsksFirst() {
    // Rates no disk can hold (the profile never runs: the question comes first).
    UseProfileDir(WriteFakeProfiles("-b:v 1000000000M status=0", "status=0"));
    AddFiles({Fixture("avi")});
    prompts.folders.append(outDir);
    page->OnBrowse();
    prompts.confirmAnswer = false;
    ClickStart();
    QCOMPARE(prompts.confirms.size(), 1);
    QVERIFY2(prompts.confirms.first().contains(" free. Converting may stop when the disk is full."),
             qPrintable(prompts.confirms.first()));
    QVERIFY(!page->IsConverting());
    QCOMPARE(page->Jobs().At(0).status, JobStatus::Waiting);
}

QTEST_MAIN(TestMainPage)
#include "tst_main_page.moc"
