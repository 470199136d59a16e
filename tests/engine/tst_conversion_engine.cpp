// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFixtures.h"
#include "ProcessStates.h"
#include "engine/ConversionEngine.h"
#include "engine/ErrorLog.h"
#include "engine/JobCellText.h"
#include "engine/WorkFolder.h"
#include "media/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>

namespace {

// Records what the engine shows.
class RecordingHost {
public:
    void Attach(ConversionEngine& engine) {
        QObject::connect(&engine, &ConversionEngine::JobChanged, &engine,
                         [this](JobId id) { RepaintProgressCell(int(jobs->IndexOf(id))); });
        QObject::connect(&engine, &ConversionEngine::ConvertingChanged, &engine,
                         [this](bool converting) { convertingChanges.append(converting); });
        QObject::connect(&engine, &ConversionEngine::JobEnded, &engine,
                         [this](JobId id, JobStatus status) {
                             ended.append({int(jobs->IndexOf(id)), int(status)});
                         });
    }
    void RepaintProgressCell(int row) {
        const Job& job = jobs->At(row);
        const QString text = JobProgressCell(job).text;
        if (texts.isEmpty() || texts.last() != text)
            texts.append(text);
        if (phases.isEmpty() || phases.last() != int(job.status))
            phases.append(int(job.status));
        if (onRepaint)
            onRepaint(job);
    }

    const JobList* jobs = nullptr;
    QStringList texts;
    QList<int> phases;
    QList<bool> convertingChanges;
    QList<QPair<int, int>> ended;
    std::function<void(const Job&)> onRepaint;
};

} // namespace

class TestConversionEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void passesRunInOrder_data();
    void passesRunInOrder();
    void stopRequestAfterFirstPass();
    void failureIsNotSuccess_data();
    void failureIsNotSuccess();
    void cancelRemovesPartialFiles_data();
    void cancelRemovesPartialFiles();
    void nothingRunsWhenRefused_data();
    void nothingRunsWhenRefused();
    void sameFileTwiceGivesTwoOutputs();
    void intermediatesNeverMeetOutputs();
    void oldOutputIsNotTakenForNewOne();
    void existingOutputs_data();
    void existingOutputs();
    void abandonedWorkFoldersGo_data();
    void abandonedWorkFoldersGo();
    void deletedOutputFolderStaysDeleted();
    void emptyListDoesNothing();
    void startAgainConvertsEverythingAgain();
    void jobsSideBySide_data();
    void jobsSideBySide();
    void stopAfterCurrentJobs();
    void pauseStopsTheEncoders_data();
    void pauseStopsTheEncoders();
    void passStartedDuringPauseWaits();
    void retryConvertsOnlyWhatDidNotFinish();
    void editsWhileTheBatchRuns();
    void rowsWithTheirOwnProfile();
    void overshootIsEncodedOnceMore_data();
    void overshootIsEncodedOnceMore();

private:
    QString Path(const QString& name) const { return QDir(dir->path()).filePath(name); }
    QString OutDir() const { return Path("out"); }
    QString Fake() const { return QStringLiteral("\"" FAKE_ENCODER "\""); }
    // A fake pass that "encodes" by copying a real, playable file of the type's container
    // (2 s of picture and sound, as the sources) to the pass's output.
    QString Encodes(const QString& to, bool threeG2 = false) const {
        return Fake() + " copy=\"" + (threeG2 ? reference3g2 : reference3gp) + ":" + to + "\"";
    }
    // Writes the profile file of a type with one profile made of the given pass templates.
    void WriteProfile(OutputType type, const QStringList& passes);
    QString Source(const QString& name);
    QStringList OutputFiles() const;
    BatchResult Run(JobList& jobs, OutputType type, int selection = 0);
    // The settings of a batch of the first profile into the output folder.
    BatchSettings Settings(OutputType type = OutputType::Amr3gp) const;
    // Starts a batch and waits for its end: the result that StartBatch refused with, or the
    // finished batch's.
    BatchResult Convert(ConversionEngine& engine, JobList& jobs, const BatchSettings& settings);
    QString ReadLog() const;

    std::unique_ptr<QTemporaryDir> dir;
    int stallSeconds = 300; // the batches' stall timeout
    RecordingHost host;
    QTemporaryDir fixtureDir;
    QString sourceClip; // 2 s of picture and sound
    QString reference3gp;
    QString reference3g2;
};

void TestConversionEngine::initTestCase() {
    MediaFixtures fixtures(fixtureDir.path());
    sourceClip = fixtures.Make("avi");
    const QStringList clip{"-i", sourceClip, "-c:v", "mpeg4", "-c:a", "aac", "-f"};
    reference3gp = fixtures.MakeWith("reference.3gp", clip + QStringList{"3gp"});
    reference3g2 = fixtures.MakeWith("reference.3g2", clip + QStringList{"3g2"});
    QVERIFY2(!reference3g2.isEmpty(), qPrintable(fixtures.LastError()));
}

void TestConversionEngine::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir(dir->path()).mkpath("app"));
    QVERIFY(QDir(dir->path()).mkpath("out"));
    QVERIFY(QDir(dir->path()).mkpath("src"));
    AppPaths::SetProgramDir(dir->path());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path())); // log.txt starts empty
    host = RecordingHost();
    stallSeconds = BatchSettings().stallTimeoutSeconds;
}

void TestConversionEngine::WriteProfile(OutputType type, const QStringList& passes) {
    QFile file(QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(type)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QString text = "[Info]\nDescription=test\nDefaultProfile=1\n\n[Test]\nTitle=Test profile\n";
    if (type == OutputType::Aac3g2) {
        text += "Encode=" + passes.value(0) + "\nRewrap=" + passes.value(1) +
                "\nNote=not read\nFinish=" + passes.value(2) + "\n";
    } else {
        text += "Command=" + passes.value(0) + "\n";
    }
    file.write(text.toUtf8());
}

QString TestConversionEngine::Source(const QString& name) {
    const QString path = Path("src/" + name);
    QFile::copy(sourceClip, path);
    return path;
}

// What the output folder holds, work folders included (none may be left).
QStringList TestConversionEngine::OutputFiles() const {
    return QDir(OutDir()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                    QDir::Name);
}

BatchSettings TestConversionEngine::Settings(OutputType type) const {
    BatchSettings settings;
    settings.outputType = type;
    settings.profileSelection = 0;
    settings.outputDir = OutDir();
    settings.stallTimeoutSeconds = stallSeconds;
    return settings;
}

BatchResult TestConversionEngine::Run(JobList& jobs, OutputType type, int selection) {
    ConversionEngine engine;
    BatchSettings settings = Settings(type);
    settings.profileSelection = selection;
    return Convert(engine, jobs, settings);
}

BatchResult TestConversionEngine::Convert(ConversionEngine& engine, JobList& jobs,
                                          const BatchSettings& settings) {
    host.jobs = &jobs;
    host.Attach(engine);
    QSignalSpy finished(&engine, &ConversionEngine::BatchFinished);
    const BatchResult started = engine.StartBatch(jobs, settings);
    if (started.status != BatchResult::Status::Started)
        return started;
    if (!finished.wait(60000))
        return {};
    return finished.first().first().value<BatchResult>();
}

QString TestConversionEngine::ReadLog() const {
    QFile log(ErrorLog::LogFilePath());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

void TestConversionEngine::passesRunInOrder_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("passes");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<int>>("phases");
    QTest::addColumn<QString>("source");

    const QString out = "\"$OUTPUT_DIR$OUTPUT_FILE";
    const QString to = "$OUTPUT_DIR$OUTPUT_FILE";
    constexpr int First = int(JobStatus::FirstPass);
    QTest::newRow("3gp with amr: one pass")
        << 0 << QStringList{Encodes(to + ".3gp") + " status=3"} << QStringList{"clip.3gp"}
        << QList<int>{First} << "clip.avi";
    QTest::newRow("3gp with aac: one pass")
        << 1 << QStringList{Encodes(to + ".3gp") + " status=3"} << QStringList{"clip.3gp"}
        << QList<int>{First} << "clip.avi";
    const QStringList threePasses{Encodes(to + "_temp.3gp", true) + " status=3",
                                  Fake() + " copy=" + out + "_temp.3gp:" + out.mid(1) +
                                      "_temp_2.3g2\"",
                                  Fake() + " copy=" + out + "_temp_2.3g2:" + out.mid(1) + ".3g2\""};
    QTest::newRow("3gp2: three passes leave only the final file")
        << 2 << threePasses << QStringList{"clip.3g2"} << QList<int>{First, First + 1, First + 2}
        << "clip.avi";
    // 254 bytes: the intermediates' names would pass the file system's 255; the output name is
    // cut between two characters.
    QTest::newRow("3gp2: a name at the file system's limit")
        << 2 << threePasses << QStringList{QString(120, u'\u00e9') + ".3g2"}
        << QList<int>{First, First + 1, First + 2} << QString(125, u'\u00e9') + ".avi";
}

void TestConversionEngine::passesRunInOrder() {
    QFETCH(int, type);
    QFETCH(QStringList, passes);
    const auto outputType = static_cast<OutputType>(type);
    WriteProfile(outputType, passes);
    JobList jobs;
    QFETCH(QString, source);
    jobs.Append(Job::FromPath(Source(source), MediaFixtures::ClipSeconds));
    const BatchResult result = Run(jobs, outputType);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(result.finishedJobs, 1);
    QCOMPARE(jobs.At(0).status, JobStatus::Finished);
    QTEST(OutputFiles(), "files");
    QFETCH(QList<int>, phases);
    QCOMPARE(host.phases.mid(0, phases.size()), phases);
    QCOMPARE(host.texts.last(), QStringLiteral(" Finished "));
    QCOMPARE(host.convertingChanges, (QList<bool>{true, false}));
    QVERIFY(ReadLog().isEmpty());
    // The first pass's figures reached the job.
    QVERIFY(jobs.At(0).sizeKB > 0);
    QVERIFY(jobs.At(0).encodedTime > 0.0);
}

// The encoder gets "q" once after a first pass that ended by itself.
void TestConversionEngine::stopRequestAfterFirstPass() {
    const QString received = Path("stdin.txt");
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") +
                                      " close-output record-stdin=\"" + received + "\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    QCOMPARE(Run(jobs, OutputType::Amr3gp).finishedJobs, 1);
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("q"));
}

void TestConversionEngine::failureIsNotSuccess_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("passes");
    QTest::addColumn<QString>("logged");

    const QString out = "\"$OUTPUT_DIR$OUTPUT_FILE";
    QTest::newRow("no output") << 0 << QStringList{Fake() + " status=2 exit=1"}
                               << "time=00:00:00.08";
    QTest::newRow("empty output") << 1 << QStringList{Fake() + " write=" + out + ".3gp\":0"}
                                  << "write=";
    QTest::newRow("3gp2 second pass writes nothing")
        << 2
        << QStringList{Fake() + " status=1 write=" + out + "_temp.3gp\"", Fake() + " exit=1",
                       Fake() + " copy=" + out + "_temp_2.3g2:" + out.mid(1) + ".3g2\""}
        << "exit=1";
    // An encoder that ends badly after writing, or a file that does not play, is no result.
    const QString to = "$OUTPUT_DIR$OUTPUT_FILE";
    QTest::newRow("killed after half a file")
        << 0 << QStringList{Fake() + " status=2 write=" + out + ".3gp\":393000 crash"}
        << "The encoder crashed or was killed.";
    QTest::newRow("exits 1 after a whole file")
        << 1 << QStringList{Encodes(to + ".3gp") + " exit=1"} << "The encoder ended with code 1.";
    QTest::newRow("exit 0 over an unplayable file")
        << 0 << QStringList{Fake() + " write=" + out + ".3gp\":44"}
        << "The output file cannot be opened";
    QTest::newRow("3gp2 written as 3gp")
        << 2
        << QStringList{Encodes(to + "_temp.3gp"),
                       Fake() + " copy=" + out + "_temp.3gp:" + out.mid(1) + "_temp_2.3g2\"",
                       Fake() + " copy=" + out + "_temp_2.3g2:" + out.mid(1) + ".3g2\""}
        << "no 3G2 file";
    QTest::newRow("3gp2 third pass crashes")
        << 2
        << QStringList{Fake() + " status=1 write=" + out + "_temp.3gp\"",
                       Fake() + " copy=" + out + "_temp.3gp:" + out.mid(1) + "_temp_2.3g2\"",
                       Fake() + " status=1 crash"}
        << "crash";
    // An encoder that hangs (a source that became a named pipe): the watchdog ends it.
    QTest::newRow("hangs without progress")
        << 0 << QStringList{Fake() + " status=1 hang"}
        << "reason          =   The encoder made no progress for 1 second.";
}

void TestConversionEngine::failureIsNotSuccess() {
    QFETCH(int, type);
    QFETCH(QStringList, passes);
    const auto outputType = static_cast<OutputType>(type);
    WriteProfile(outputType, passes);
    if (QByteArray(QTest::currentDataTag()).startsWith("hangs"))
        stallSeconds = 1;
    JobList jobs;
    // A newline in a name must not forge a line of the log.
    const QString source = Source("my\nFAILED: clip.avi");
    jobs.Append(Job::FromPath(source, MediaFixtures::ClipSeconds));
    jobs.Append(Job::FromPath(Source("next.avi"), MediaFixtures::ClipSeconds));
    const BatchResult result = Run(jobs, outputType);

    // The batch goes on with the next job, which fails the same way.
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(result.failedJobs, 2);
    QCOMPARE(result.finishedJobs, 0);
    QCOMPARE(jobs.At(0).status, JobStatus::Failed);
    QCOMPARE(JobProgressCell(jobs.At(0)).text, QStringLiteral("Failed"));
    QCOMPARE(host.ended.value(0), (QPair<int, int>{0, int(JobStatus::Failed)}));
    // Nothing that looks like a result, and no intermediate, is left.
    QCOMPARE(OutputFiles(), QStringList());
    const QString log = ReadLog();
    QCOMPARE(log.count("FAILED:  source"), 2);
    QVERIFY(log.contains("my\\nFAILED: clip.avi"));
    QVERIFY(!log.contains("\nFAILED: clip.avi"));
    QVERIFY(!jobs.At(0).failReason.isEmpty());
    QVERIFY(log.contains(FAKE_ENCODER));
    QFETCH(QString, logged);
    QVERIFY2(log.contains(logged), qPrintable(log));
}

void TestConversionEngine::cancelRemovesPartialFiles_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("cancelPhase");
    QTest::addColumn<QStringList>("passes");

    const QString out = "\"$OUTPUT_DIR$OUTPUT_FILE";
    const QString mark = "touch=\"@RUNNING@\" hang"; // the test's own folder, made per row
    QTest::newRow("3gp, first pass")
        << 0 << 1 << QStringList{Fake() + " until-q=" + out + ".3gp\""};
    // Stop ends what the encoder started too.
    QTest::newRow("3gp, first pass, encoder with a child")
        << 0 << 1 << QStringList{Fake() + " child=\"@CHILD@\" until-q=" + out + ".3gp\""};
    QTest::newRow("3gp with aac, first pass")
        << 1 << 1 << QStringList{Fake() + " until-q=" + out + ".3gp\""};
    QTest::newRow("3gp2, first pass")
        << 2 << 1 << QStringList{Fake() + " until-q=" + out + "_temp.3gp\"", Fake(), Fake()};
    QTest::newRow("3gp2, second pass")
        << 2 << 2
        << QStringList{Fake() + " write=" + out + "_temp.3gp\"",
                       Fake() + " write=" + out + "_temp_2.3g2\" " + mark, Fake()};
    QTest::newRow("3gp2, third pass")
        << 2 << 3
        << QStringList{Fake() + " write=" + out + "_temp.3gp\"",
                       Fake() + " copy=" + out + "_temp.3gp:" + out.mid(1) + "_temp_2.3g2\"",
                       Fake() + " write=" + out + ".3g2\" " + mark};
}

void TestConversionEngine::cancelRemovesPartialFiles() {
    QFETCH(int, type);
    QFETCH(int, cancelPhase);
    QFETCH(QStringList, passes);
    const auto outputType = static_cast<OutputType>(type);
    passes.replaceInStrings("@RUNNING@", Path("running"));
    passes.replaceInStrings("@CHILD@", Path("child.pid"));
    WriteProfile(outputType, passes);
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    jobs.Append(Job::FromPath(Source("later.avi"), MediaFixtures::ClipSeconds));

    // Files of the user's that carry the old intermediates' names are not the engine's to delete.
    const QStringList usersFiles{"clip_temp.3gp", "clip_temp_2.3g2"};
    for (const QString& name : usersFiles)
        QVERIFY(QFile::copy(sourceClip, QDir(OutDir()).filePath(name)));

    ConversionEngine engine;
    // Stop is pressed once the pass has written something: figures in the first pass, the
    // marker file of the hanging later passes.
    QTimer stop;
    connect(&stop, &QTimer::timeout, this, [&] {
        const Job& job = jobs.At(0);
        const bool writing = cancelPhase == 1 ? job.sizeKB > 0 : QFile::exists(Path("running"));
        if (int(job.status) == int(JobStatus::FirstPass) + cancelPhase - 1 && writing)
            engine.CancelActiveJob();
    });
    stop.start(10);
    BatchSettings settings;
    settings.outputType = outputType;
    settings.profileSelection = 0;
    settings.outputDir = OutDir();
    const BatchResult result = Convert(engine, jobs, settings);

    QCOMPARE(result.status, BatchResult::Status::Canceled);
    QCOMPARE(jobs.At(0).status, JobStatus::Canceled);
    QCOMPARE(JobProgressCell(jobs.At(0)).text, QStringLiteral("Canceled"));
    QCOMPARE(jobs.At(1).status, JobStatus::Waiting);
    QCOMPARE(OutputFiles(), usersFiles);
    QCOMPARE(host.convertingChanges, (QList<bool>{true, false}));
    engine.CancelActiveJob(); // after the batch: nothing happens
    QVERIFY(!engine.IsConverting());
    QFile child(Path("child.pid"));
    if (child.open(QIODevice::ReadOnly)) {
        // Gone, or a zombie that nobody waits for: no longer running either way.
        QFile state(QStringLiteral("/proc/%1/stat").arg(child.readAll().toInt()));
        QByteArray text;
        for (int i = 0; i < 200; ++i, QTest::qWait(10)) {
            state.close();
            text = state.open(QIODevice::ReadOnly) ? state.readAll() : QByteArray();
            if (text.isEmpty() || text.contains(") Z "))
                break;
        }
        QVERIFY2(text.isEmpty() || text.contains(") Z "), text.constData());
    }
}

void TestConversionEngine::nothingRunsWhenRefused_data() {
    QTest::addColumn<int>("selection");
    QTest::addColumn<QString>("outputDir");
    QTest::addColumn<bool>("profileFile");
    QTest::addColumn<QString>("message");

    QTest::newRow("no output directory")
        << 0 << "" << true << "  Please set the output directory firstly   ";
    QTest::newRow("missing output directory") << 0 << "missing" << true << "does not exist";
    QTest::newRow("output directory cannot be written")
        << 0 << "/proc" << true << "cannot be written to";
    QTest::newRow("no profile selected") << -1 << "out" << true << "No profile is selected";
    QTest::newRow("selection past the profiles") << 1 << "out" << true << "has no profile 2";
    QTest::newRow("no profile file") << 0 << "out" << false << "missing or holds no profiles";
    QTest::newRow("no encoder program")
        << 0 << "out" << true << "The encoder program \"no-such-encoder\" that the profile names";
}

void TestConversionEngine::nothingRunsWhenRefused() {
    QFETCH(int, selection);
    QFETCH(QString, outputDir);
    QFETCH(bool, profileFile);
    const QString ran = Path("ran");
    if (profileFile)
        WriteProfile(OutputType::Amr3gp, {(QString(QTest::currentDataTag()) == "no encoder program"
                                               ? QString("no-such-encoder")
                                               : Fake()) +
                                          " touch=\"" + ran + "\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), 10.0));
    ConversionEngine engine;
    BatchSettings settings;
    settings.profileSelection = selection;
    settings.outputDir =
        outputDir.isEmpty() || outputDir.startsWith('/') ? outputDir : Path(outputDir);
    const BatchResult result = Convert(engine, jobs, settings);
    QCOMPARE(result.status, BatchResult::Status::Refused);
    QFETCH(QString, message);
    QVERIFY2(result.message.contains(message), qPrintable(result.message));
    QVERIFY(!QFile::exists(ran));
    QVERIFY(host.convertingChanges.isEmpty());
    QVERIFY(host.texts.isEmpty());
    QVERIFY(!engine.IsConverting());
}

void TestConversionEngine::sameFileTwiceGivesTwoOutputs() {
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp")});
    JobList jobs;
    const QString source = Source("clip.avi");
    jobs.Append(Job::FromPath(source, MediaFixtures::ClipSeconds));
    jobs.Append(Job::FromPath(source, MediaFixtures::ClipSeconds));
    QCOMPARE(Run(jobs, OutputType::Amr3gp).finishedJobs, 2);
    QCOMPARE(OutputFiles(), (QStringList{"clip (2).3gp", "clip.3gp"}));
}

// Job "a" passes through "a_temp_2.3g2", which is job "a_temp_2"'s result: each job's passes
// write in a folder of their own, so both results survive.
void TestConversionEngine::intermediatesNeverMeetOutputs() {
    const QString out = "\"$OUTPUT_DIR$OUTPUT_FILE";
    WriteProfile(OutputType::Aac3g2,
                 {Encodes("$OUTPUT_DIR$OUTPUT_FILE_temp.3gp", true),
                  Fake() + " copy=" + out + "_temp.3gp:" + out.mid(1) + "_temp_2.3g2\"",
                  Fake() + " copy=" + out + "_temp_2.3g2:" + out.mid(1) + ".3g2\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("a_temp_2.avi"), MediaFixtures::ClipSeconds));
    jobs.Append(Job::FromPath(Source("a.avi"), MediaFixtures::ClipSeconds));
    QCOMPARE(Run(jobs, OutputType::Aac3g2).finishedJobs, 2);
    QCOMPARE(OutputFiles(), (QStringList{"a.3g2", "a_temp_2.3g2"}));
}

// A file of the output's name left from an earlier run does not make a failed pass look done,
// and it is left as it was.
void TestConversionEngine::oldOutputIsNotTakenForNewOne() {
    WriteProfile(OutputType::Amr3gp, {Fake() + " exit=1"});
    const QString old = QDir(OutDir()).filePath("old.3gp");
    QFile file(old);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("an earlier conversion");
    file.close();
    JobList jobs;
    jobs.Append(Job::FromPath(Source("old.avi"), 10.0));
    const BatchResult result = Run(jobs, OutputType::Amr3gp);
    QCOMPARE(result.failedJobs, 1);
    QCOMPARE(jobs.At(0).status, JobStatus::Failed);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("an earlier conversion"));
}

void TestConversionEngine::existingOutputs_data() {
    QTest::addColumn<int>("existing");
    QTest::addColumn<bool>("sourceInOutputFolder");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("oldKept");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QString>("name");
    const int keepBoth = int(ExistingOutputs::KeepBoth);
    QTest::newRow("keep both") << keepBoth << false << QStringList{"clip (2).3gp", "clip.3gp"}
                               << true << 0 << "clip";
    QTest::newRow("overwrite") << int(ExistingOutputs::Overwrite) << false
                               << QStringList{"clip.3gp"} << false << 0 << "clip";
    QTest::newRow("skip") << int(ExistingOutputs::Skip) << false << QStringList{"clip.3gp"} << true
                          << 1 << "clip";
    // A .3gp source converted into its own folder, even by way of a link to that folder.
    QTest::newRow("overwrite never writes a source")
        << int(ExistingOutputs::Overwrite) << true << QStringList{"clip (2).3gp", "clip.3gp"}
        << true << 0 << "clip";
    QTest::newRow("keep both after a numbered name")
        << keepBoth << false << QStringList{"clip (2).3gp", "clip (3).3gp"} << true << 0
        << "clip (2)";
    // " (2)" still fits the file system's 255 bytes: the name is cut between two characters.
    const QString longest(120, u'\u00e9');
    QTest::newRow("keep both at the longest name")
        << keepBoth << false << QStringList{longest.left(118) + " (2).3gp", longest + ".3gp"}
        << true << 0 << QString(125, u'\u00e9');
}

// An existing file is replaced only when the user chose to, and a source never.
void TestConversionEngine::existingOutputs() {
    QFETCH(int, existing);
    QFETCH(bool, sourceInOutputFolder);
    QFETCH(QString, name);
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp")});
    // The earlier output; the long name's is its first 120 two-byte characters.
    const QString old = QDir(OutDir()).filePath(name.left(120) + ".3gp");
    QVERIFY(QFile::copy(sourceClip, old));
    JobList jobs;
    const QString source = sourceInOutputFolder ? Path("linked/clip.3gp") : Source(name + ".avi");
    if (sourceInOutputFolder)
        QVERIFY(QFile::link(OutDir(), Path("linked")));
    jobs.Append(Job::FromPath(source, MediaFixtures::ClipSeconds));
    ConversionEngine engine;
    BatchSettings settings;
    settings.outputType = OutputType::Amr3gp;
    settings.profileSelection = 0;
    settings.outputDir = OutDir();
    settings.existing = static_cast<ExistingOutputs>(existing);
    const BatchResult result = Convert(engine, jobs, settings);
    QTEST(OutputFiles(), "files");
    QFile file(old);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QFile original(sourceClip);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QFETCH(bool, oldKept);
    QCOMPARE(file.readAll() == original.readAll(), oldKept);
    QTEST(result.skippedJobs, "skipped");
    QCOMPARE(result.finishedJobs + result.skippedJobs, 1);
}

void TestConversionEngine::abandonedWorkFoldersGo_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("removed");
    QTest::newRow("a dead owner on this machine") << "dead" << true;
    QTest::newRow("an id now of another process") << "reused" << true;
    QTest::newRow("this machine started again since") << "rebooted" << true;
    QTest::newRow("a live owner") << "live" << false;
    // Another user's link in a shared folder: what it points to is not the engine's.
    QTest::newRow("a link named like a work folder") << "link" << false;
    QTest::newRow("a folder of the user's, mode 0755") << "open" << false;
    QTest::newRow("a folder without an owner record") << "no record" << false;
    QTest::newRow("an earlier version's bare process id") << "bare pid" << false;
    // Its process ids mean nothing here; a week after its last sign of life it has ended.
    QTest::newRow("another machine's run") << "foreign" << false;
    QTest::newRow("another machine's run, a week old") << "foreign old" << true;
    QTest::newRow("another process namespace") << "namespace" << false;
    // Its machine stopped before the record reached the disk; the run has ended by now.
    QTest::newRow("a record cut short, a week old") << "cut short old" << true;
}

// Work folders that a stop, a crash or a kill left behind go with the next run in that
// folder; only what is provably the user's and abandoned does, everything else stays and is
// named in log.txt.
void TestConversionEngine::abandonedWorkFoldersGo() {
    QFETCH(QString, kind);
    const QString name = ".morvane-work-x";
    const QString folder = QDir(OutDir()).filePath(name);
    const QString precious = Path("precious/file");
    if (kind == "link") {
        QVERIFY(QDir().mkpath(Path("precious")));
        QVERIFY(QFile::copy(sourceClip, precious));
        QVERIFY(QFile::link(Path("precious"), folder));
    } else {
        QVERIFY(::mkdir(QFile::encodeName(folder).constData(), kind == "open" ? 0755 : 0700) == 0);
        WorkFolderOwner owner = WorkFolderOwner::ThisProcess();
        if (kind == "dead" || kind == "rebooted" || kind.startsWith("foreign"))
            owner.pid = 2147483000; // above any process id
        if (kind == "reused")
            owner.startTime += 1;
        if (kind == "rebooted")
            owner.bootId = "an earlier start";
        if (kind.startsWith("foreign"))
            owner.host = "elsewhere";
        if (kind == "namespace")
            owner.pidNamespace = "pid:[1]";
        QFile record(QDir(folder).filePath(kind == "bare pid" ? "owner.pid"
                                                              : WorkFolder::OwnerRecordName()));
        if (kind != "no record") {
            QVERIFY(record.open(QIODevice::WriteOnly));
            record.write(kind == "bare pid"             ? QByteArray("2147483000")
                         : kind.startsWith("cut short") ? owner.ToRecord().left(25)
                                                        : owner.ToRecord());
            record.close();
        }
        if (kind.endsWith(" old")) {
            const timespec weekAgo[2] = {{time(nullptr) - 8 * 24 * 3600, 0},
                                         {time(nullptr) - 8 * 24 * 3600, 0}};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(record.fileName()).constData(), weekAgo,
                                0) == 0);
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), weekAgo, 0) == 0);
        }
    }
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp")});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    QCOMPARE(Run(jobs, OutputType::Amr3gp).finishedJobs, 1);
    QFETCH(bool, removed);
    const QStringList left = removed ? QStringList{"clip.3gp"} : QStringList{name, "clip.3gp"};
    QCOMPARE(OutputFiles(), left);
    if (kind == "link")
        QVERIFY(QFile::exists(precious));
    QCOMPARE(ReadLog().contains(name), !removed && kind != "live");
}

// An output folder deleted during a batch is not made again: the jobs fail and say why.
void TestConversionEngine::deletedOutputFolderStaysDeleted() {
    WriteProfile(OutputType::Amr3gp,
                 {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") + " status=2 sleep=300"});
    JobList jobs;
    for (const QString name : {"a", "b"})
        jobs.Append(Job::FromPath(Source(name + ".avi"), MediaFixtures::ClipSeconds));
    host.onRepaint = [this](const Job& job) {
        if (job.status == JobStatus::FirstPass && job.sizeKB > 0 && job.baseName == "a")
            QDir(OutDir()).removeRecursively();
    };
    const BatchResult result = Run(jobs, OutputType::Amr3gp);
    QCOMPARE(result.failedJobs, 2);
    QVERIFY(!QFileInfo::exists(OutDir()));
    for (const Job& job : jobs)
        QVERIFY2(job.failReason.contains("The output folder " + OutDir() + "/ no longer exists."),
                 qPrintable(job.failReason));
}

void TestConversionEngine::emptyListDoesNothing() {
    WriteProfile(OutputType::Amr3gp, {Fake()});
    JobList jobs;
    const BatchResult result = Run(jobs, OutputType::Amr3gp);
    QCOMPARE(result.status, BatchResult::Status::NoJobs);
    QVERIFY(!result.Ran());
    QVERIFY(host.convertingChanges.isEmpty());
}

void TestConversionEngine::startAgainConvertsEverythingAgain() {
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") + " status=2"});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("a.avi"), MediaFixtures::ClipSeconds));
    jobs.Append(Job::FromPath(Source("b.avi"), MediaFixtures::ClipSeconds));
    Job canceled = jobs.At(1);
    canceled.status = JobStatus::Canceled;
    jobs.Set(1, canceled);
    QCOMPARE(Run(jobs, OutputType::Amr3gp).finishedJobs, 2);
    QCOMPARE(Run(jobs, OutputType::Amr3gp).finishedJobs, 2);
    for (const Job& job : jobs) {
        QCOMPARE(job.status, JobStatus::Finished);
        QCOMPARE(JobProgressCell(job).text, QStringLiteral(" Finished "));
    }
}

void TestConversionEngine::jobsSideBySide_data() {
    QTest::addColumn<int>("simultaneous");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("most");
    QTest::newRow("one at a time") << 1 << 3 << 1;
    QTest::newRow("three of four at once") << 3 << 4 << 3;
    QTest::newRow("more slots than jobs") << 8 << 2 << 2;
}

// Each job has its own encoder; jobs start in list order as slots free up, and every one
// of them ends with its own file.
void TestConversionEngine::jobsSideBySide() {
    QFETCH(int, simultaneous);
    QFETCH(int, count);
    WriteProfile(OutputType::Amr3gp,
                 {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") + " status=2 sleep=400 status=1"});
    JobList jobs;
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("clip%1").arg(i);
        jobs.Append(Job::FromPath(Source(name + ".avi"), MediaFixtures::ClipSeconds));
        expected.append(name + ".3gp");
    }
    int most = 0;
    QList<int> started;
    host.onRepaint = [&](const Job&) {
        int runningNow = 0;
        for (int row = 0; row < jobs.Count(); ++row) {
            const JobStatus status = jobs.At(row).status;
            // A job whose file is being checked runs no encoder.
            runningNow += IsRunning(status) && !jobs.At(row).checking ? 1 : 0;
            if (status == JobStatus::FirstPass && !started.contains(row))
                started.append(row);
        }
        most = std::max(most, runningNow);
    };
    ConversionEngine engine;
    BatchSettings settings = Settings();
    settings.simultaneousJobs = simultaneous;
    const BatchResult result = Convert(engine, jobs, settings);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(result.finishedJobs, count);
    QTEST(most, "most");
    QCOMPARE(started, (QList<int>{0, 1, 2, 3}.mid(0, count)));
    QCOMPARE(OutputFiles(), expected);
}

// "Stop after current jobs": the running jobs finish, the rest waits.
void TestConversionEngine::stopAfterCurrentJobs() {
    WriteProfile(OutputType::Amr3gp,
                 {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") + " status=2 sleep=300 status=1"});
    JobList jobs;
    for (const QString name : {"a", "b", "c"})
        jobs.Append(Job::FromPath(Source(name + ".avi"), MediaFixtures::ClipSeconds));
    ConversionEngine engine;
    host.onRepaint = [&](const Job& job) {
        if (job.status == JobStatus::FirstPass && job.sizeKB > 0)
            engine.StopAfterCurrentJobs();
    };
    BatchSettings settings = Settings();
    settings.simultaneousJobs = 2;
    const BatchResult result = Convert(engine, jobs, settings);
    QCOMPARE(result.status, BatchResult::Status::Stopped);
    QVERIFY(result.Ran());
    QCOMPARE(result.finishedJobs, 2);
    QCOMPARE(jobs.At(2).status, JobStatus::Waiting);
    QCOMPARE(OutputFiles(), (QStringList{"a.3gp", "b.3gp"}));
}

void TestConversionEngine::pauseStopsTheEncoders_data() {
    QTest::addColumn<bool>("stopWhilePaused");
    QTest::newRow("resume finishes the job") << false;
    QTest::newRow("stop while paused ends it at once") << true;
}

// Pause stops the encoder itself (its process group), not only the page's view of it.
void TestConversionEngine::pauseStopsTheEncoders() {
    QFETCH(bool, stopWhilePaused);
    const QString pid = Path("encoder.pid");
    WriteProfile(OutputType::Amr3gp, {Fake() + " pid=\"" + pid +
                                      "\" status=1 until-q=" + "\"$OUTPUT_DIR$OUTPUT_FILE.3gp\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    ConversionEngine engine;
    const auto state = [&pid] {
        QFile id(pid);
        if (!id.open(QIODevice::ReadOnly))
            return QByteArray();
        QFile stat(QStringLiteral("/proc/%1/stat").arg(id.readAll().trimmed().toInt()));
        if (!stat.open(QIODevice::ReadOnly))
            return QByteArray();
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1);
    };
    QByteArray pausedState;
    bool resumed = false;
    host.onRepaint = [&](const Job& job) {
        if (job.status != JobStatus::FirstPass || job.sizeKB == 0 || engine.IsPaused() ||
            !pausedState.isEmpty())
            return;
        engine.SetPaused(true);
        QTimer::singleShot(300, &engine, [&] {
            pausedState = state();
            if (stopWhilePaused) {
                engine.CancelActiveJob();
            } else {
                engine.SetPaused(false);
                resumed = state() != "T";
                engine.CancelActiveJob(); // "q": the encoder finishes its file
            }
        });
    };
    BatchSettings settings = Settings();
    const BatchResult result = Convert(engine, jobs, settings);
    QCOMPARE(pausedState, QByteArray("T"));
    QCOMPARE(result.status, BatchResult::Status::Canceled);
    QCOMPARE(resumed, !stopWhilePaused);
    QVERIFY(!engine.IsPaused());
    QCOMPARE(OutputFiles(), QStringList());
}

// A pass that starts while the batch is paused (the pause came as the pass before it ended)
// starts paused, and the job goes no further until the resume.
void TestConversionEngine::passStartedDuringPauseWaits() {
    const QString out = "\"$OUTPUT_DIR$OUTPUT_FILE";
    const QString mark = Path("second-pass");
    WriteProfile(OutputType::Aac3g2,
                 {Encodes("$OUTPUT_DIR$OUTPUT_FILE_temp.3gp", true),
                  Fake() + " \"touch=" + mark + "\" sleep=1000 copy=" + out +
                      "_temp.3gp:" + out.mid(1) + "_temp_2.3g2\"",
                  Fake() + " copy=" + out + "_temp_2.3g2:" + out.mid(1) + ".3g2\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    ConversionEngine engine;
    bool pausedOnce = false;
    QList<int> phasesWhilePaused;
    host.onRepaint = [&](const Job& job) {
        if (engine.IsPaused())
            phasesWhilePaused.append(int(job.status));
        if (job.status == JobStatus::SecondPass && !pausedOnce) {
            pausedOnce = true;
            engine.SetPaused(true);
        }
    };
    // Resumed once the second pass's encoder is seen stopped.
    bool passStopped = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (engine.IsPaused() && ProcessStates::AnyStopped(ProcessStates::ProcessesNaming(mark))) {
            passStopped = true;
            engine.SetPaused(false);
        }
    });
    watch.start(20);
    const BatchResult result = Convert(engine, jobs, Settings(OutputType::Aac3g2));
    QVERIFY(passStopped);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(OutputFiles(), QStringList{"clip.3g2"});
    QVERIFY2(!phasesWhilePaused.contains(int(JobStatus::ThirdPass)) &&
                 !phasesWhilePaused.contains(int(JobStatus::Finished)),
             "the job moved on while paused");
}

// Retry converts the jobs that failed, were canceled or were not reached, and leaves the
// finished ones (and their files) alone.
void TestConversionEngine::retryConvertsOnlyWhatDidNotFinish() {
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp")});
    JobList jobs;
    const JobStatus before[] = {JobStatus::Finished, JobStatus::Failed, JobStatus::Canceled,
                                JobStatus::Waiting, JobStatus::Skipped};
    for (int i = 0; i < 5; ++i) {
        jobs.Append(Job::FromPath(Source(QStringLiteral("%1.avi").arg(i)), 2.0));
        Job job = jobs.At(i);
        job.status = before[i];
        jobs.Set(i, job);
    }
    QFile done(QDir(OutDir()).filePath("0.3gp"));
    QVERIFY(done.open(QIODevice::WriteOnly));
    done.write("the first batch's result");
    done.close();
    QCOMPARE(ConversionEngine::ExistingOutputNames(jobs, OutputType::Amr3gp, OutDir(), true),
             QStringList());
    ConversionEngine engine;
    BatchSettings settings = Settings();
    settings.retryUnfinished = true;
    const BatchResult result = Convert(engine, jobs, settings);
    QCOMPARE(result.finishedJobs, 3);
    QCOMPARE(OutputFiles(), (QStringList{"0.3gp", "1.3gp", "2.3gp", "3.3gp"}));
    QVERIFY(done.open(QIODevice::ReadOnly));
    QCOMPARE(done.readAll(), QByteArray("the first batch's result"));
    QCOMPARE(jobs.At(0).status, JobStatus::Finished);
    QCOMPARE(jobs.At(4).status, JobStatus::Skipped);
    QCOMPARE(host.ended.size(), 3);
}

void TestConversionEngine::overshootIsEncodedOnceMore_data() {
    QTest::addColumn<QString>("video");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<int>("retries");
    QTest::addColumn<QString>("reason");

    const QString qcif = "-vf fps=15,scale=176:144,setsar=1 -c:v h263 ";
    // The 2 s clip comes out at about 78 kbit/s against Level 10's 64.
    QTest::newRow("overshoots, then fits")
        << qcif + "-level 10 -b:v 70k -maxrate 70k -bufsize 35k" << true << 1 << "";
    // A fixed quantiser takes no notice of the lowered rate.
    QTest::newRow("still too large after the second encode")
        << qcif + "-level 10 -q:v 2" << false << 1 << "did not fit either";
    QTest::newRow("too fast for the level: a lower rate cannot help")
        << "-vf fps=30,scale=176:144,setsar=1 -c:v h263 -level 45 -b:v 60k" << false << 0
        << "30.00 pictures per second";
    QTest::newRow("index after the media data") << qcif + "-level 45 -b:v 60k -movflags -faststart"
                                                << false << 0 << "index comes after its media data";
}

// A file that overshoots the level its profile names is encoded once more at a lower rate
// (log.txt says so), and fails with the reason only when that does not fit either.
void TestConversionEngine::overshootIsEncodedOnceMore() {
    QFETCH(QString, video);
    WriteProfile(OutputType::Aac3gp,
                 {"ffmpeg -hide_banner -y -i \"$INPUT_FILE\" -c:a aac -movflags +faststart " +
                  video + " -f 3gp \"$OUTPUT_DIR$OUTPUT_FILE.3gp\""});
    JobList jobs;
    jobs.Append(Job::FromPath(Source("clip.avi"), MediaFixtures::ClipSeconds));
    const BatchResult result = Run(jobs, OutputType::Aac3gp);
    QFETCH(bool, finished);
    QCOMPARE(result.finishedJobs, finished ? 1 : 0);
    QCOMPARE(OutputFiles(), finished ? QStringList{"clip.3gp"} : QStringList{});
    QTEST(int(ReadLog().count("RETRY:   source")), "retries");
    QFETCH(QString, reason);
    QVERIFY2(jobs.At(0).failReason.contains(reason), qPrintable(jobs.At(0).failReason));
}

// While the first job runs, the rows that wait are trimmed, moved, added and removed: each
// job starts with what its row holds at its turn, in the list's order then; the running one
// cannot be taken out.
void TestConversionEngine::editsWhileTheBatchRuns() {
    const QString notes = Path("notes.txt");
    WriteProfile(OutputType::Amr3gp, {Encodes("$OUTPUT_DIR$OUTPUT_FILE.3gp") + " \"note=" + notes +
                                      ":$OUTPUT_FILE $START\" status=3"});
    JobList jobs;
    for (const QString name : {"a.avi", "b.avi", "c.avi"})
        jobs.Append(Job::FromPath(Source(name), MediaFixtures::ClipSeconds));
    ConversionEngine engine;
    bool edited = false;
    host.onRepaint = [&](const Job& job) {
        if (edited || job.status != JobStatus::FirstPass)
            return;
        edited = true;
        const JobId running = job.id;
        QVERIFY(!engine.IsEditable(running));
        QVERIFY(!engine.RemoveFromBatch(running));
        Job b = jobs.At(1);
        QVERIFY(engine.IsEditable(b.id));
        b.beginTime = 0.1; // the copied file still fits the range
        jobs.Set(1, b);
        jobs.Move(2, 1); // a, c, b
        engine.AddToBatch(jobs.At(jobs.Append(Job::FromPath(Source("d.avi"), 2.0))).id);
        const qsizetype gone = jobs.Append(Job::FromPath(Source("e.avi"), 2.0));
        engine.AddToBatch(jobs.At(gone).id);
        QVERIFY(engine.RemoveFromBatch(jobs.At(gone).id));
        jobs.RemoveAt(gone);
    };
    const BatchResult result = Convert(engine, jobs, Settings());
    QVERIFY(edited);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(result.finishedJobs, 4);
    QFile file(notes);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts),
             (QStringList{"a ", "c ", "b 00:00:00.100", "d "}));
    QCOMPARE(OutputFiles(), (QStringList{"a.3gp", "b.3gp", "c.3gp", "d.3gp"}));
}

// A row with its own type and profile is converted with them (its passes, its extension);
// the others follow the batch's. An own profile that cannot run stops Start, naming the row.
void TestConversionEngine::rowsWithTheirOwnProfile() {
    const QString to = "$OUTPUT_DIR$OUTPUT_FILE";
    const QString out = "\"" + to;
    WriteProfile(OutputType::Amr3gp, {Encodes(to + ".3gp")});
    WriteProfile(OutputType::Aac3g2, {Encodes(to + "_temp.3gp", true),
                                      Fake() + " copy=" + out + "_temp.3gp:" + to + "_temp_2.3g2\"",
                                      Fake() + " copy=" + out + "_temp_2.3g2:" + to + ".3g2\""});
    JobList jobs;
    for (const QString name : {"a.avi", "b.avi"})
        jobs.Append(Job::FromPath(Source(name), MediaFixtures::ClipSeconds));
    Job own = jobs.At(1);
    own.ownOutputType = int(OutputType::Aac3g2);
    own.ownProfile = 0;
    jobs.Set(1, own);
    ConversionEngine engine;
    const BatchResult result = Convert(engine, jobs, Settings(OutputType::Amr3gp));
    QCOMPARE(result.finishedJobs, 2);
    QCOMPARE(OutputFiles(), (QStringList{"a.3gp", "b.3g2"}));

    own.ownProfile = 4; // the file has one profile
    jobs.Set(1, own);
    const BatchResult refused = Convert(engine, jobs, Settings(OutputType::Amr3gp));
    QCOMPARE(refused.status, BatchResult::Status::Refused);
    QVERIFY2(refused.message.startsWith("b.avi (its own type and profile): "),
             qPrintable(refused.message));
}

QTEST_GUILESS_MAIN(TestConversionEngine)
#include "tst_conversion_engine.moc"
