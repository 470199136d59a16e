// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFixtures.h"
#include "ProcessStates.h"
#include "engine/ConversionEngine.h"
#include "engine/JobCellText.h"
#include "engine/RealMediaExport.h"
#include "media/AppPaths.h"
#include "media/MediaExporter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

class ExportHost {
public:
    void Attach(ConversionEngine& engine) {
        QObject::connect(&engine, &ConversionEngine::JobChanged, &engine,
                         [this](JobId id) { RepaintProgressCell(int(jobs->IndexOf(id))); });
    }
    void RepaintProgressCell(int row) {
        const QString text = JobProgressCell(jobs->At(row)).text;
        if (texts.isEmpty() || texts.last() != text)
            texts.append(text);
        if (onRepaint)
            onRepaint(jobs->At(row));
    }

    const JobList* jobs = nullptr;
    QStringList texts;
    std::function<void(const Job&)> onRepaint;
};

} // namespace

class TestRealMediaExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void codecChoice_data();
    void codecChoice();
    void randomInRange_data();
    void randomInRange();
    void exportFileName();
    void firstPassReadsTheExport_data();
    void firstPassReadsTheExport();
    void cancelDuringExportLeavesNothing();
    void pauseHoldsTheExport();

private:
    QString Path(const QString& name) const { return QDir(dir->path()).filePath(name); }
    BatchResult Convert(JobList& jobs, ExportHost& host, ConversionEngine& engine);
    QStringList Intermediates() const;

    QTemporaryDir fixtureDir;
    QString realMediaClip;
    QString reference; // a playable 3GP of 1.5 s, standing in for what an encoder makes
    std::unique_ptr<QTemporaryDir> dir;
};

void TestRealMediaExport::initTestCase() {
    MediaFixtures fixtures(fixtureDir.path());
    realMediaClip = fixtures.Make("rm");
    QVERIFY2(!realMediaClip.isEmpty(), qPrintable(fixtures.LastError()));
    reference = fixtures.MakeWith("reference.3gp", {"-i", realMediaClip, "-t", "1.5", "-c:v",
                                                    "mpeg4", "-c:a", "aac", "-f", "3gp"});
    QVERIFY2(!reference.isEmpty(), qPrintable(fixtures.LastError()));
}

void TestRealMediaExport::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir->path()).mkpath("app"));
    QVERIFY(QDir(dir->path()).mkpath("out"));
    AppPaths::SetProgramDir(dir->path());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path())); // log.txt starts empty
    // The first pass keeps a copy of its input, so the test sees what it read, and "encodes"
    // by copying a playable file.
    QFile profile(QDir(AppPaths::ProfileDir()).filePath(ProfileFileName(OutputType::Amr3gp)));
    QVERIFY(profile.open(QIODevice::WriteOnly));
    profile.write(("[Info]\nDefaultProfile=1\n[Copy]\nTitle=Copy\nCommand=\"" FAKE_ENCODER
                   "\" \"copy=$INPUT_FILE:" +
                   Path("read") + "\" \"copy=" + reference + ":$OUTPUT_DIR$OUTPUT_FILE.3gp\"\n")
                      .toUtf8());
}

void TestRealMediaExport::codecChoice_data() {
    QTest::addColumn<QStringList>("video");
    QTest::addColumn<QStringList>("audio");
    QTest::addColumn<int>("videoIndex");
    QTest::addColumn<int>("audioIndex");
    QTest::addColumn<int>("format");

    QTest::newRow("preferred codecs win")
        << QStringList{"DivX 5", "Microsoft MPEG-4 Video Codec V3", "Cinepak"}
        << QStringList{"PCM", "MPEG Layer-3 (MP3)"} << 1 << 1 << 8;
    QTest::newRow("pcm when there is no mp3")
        << QStringList{"Microsoft MPEG-4 Video Codec V3 (msmpeg4)"}
        << QStringList{"GSM 6.10", "PCM signed 16-bit"} << 0 << 1 << 8;
    QTest::newRow("later divx replaces an earlier one")
        << QStringList{"DivX 4", "Cinepak", "DivX 6"} << QStringList{"MPEG Layer-3"} << 2 << 0 << 8;
    QTest::newRow("no suitable video gives mpeg")
        << QStringList{"Cinepak", "MPEG-1"} << QStringList{"MPEG Layer-3"} << -1 << 0 << 6;
    QTest::newRow("no suitable audio gives mpeg")
        << QStringList{"DivX"} << QStringList{"MPEG Layer-2"} << 0 << -1 << 6;
    QTest::newRow("names are case-sensitive")
        << QStringList{"divx", "microsoft mpeg-4 video codec v3"} << QStringList{"pcm"} << -1 << -1
        << 6;
    QTest::newRow("empty lists") << QStringList{} << QStringList{} << -1 << -1 << 6;
}

void TestRealMediaExport::codecChoice() {
    QFETCH(QStringList, video);
    QFETCH(QStringList, audio);
    const ExportCodecChoice choice = ChooseExportCodecs(video, audio);
    QTEST(choice.videoIndex, "videoIndex");
    QTEST(choice.audioIndex, "audioIndex");
    QTEST(ExportOutputFormat(choice), "format");
}

void TestRealMediaExport::randomInRange_data() {
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::newRow("file numbers") << 10000 << 50000;
    QTest::newRow("one value") << 7 << 7;
    QTest::newRow("high below low") << 9 << 3;
    QTest::newRow("wide range") << 0 << 2000000000;
}

void TestRealMediaExport::randomInRange() {
    QFETCH(int, low);
    QFETCH(int, high);
    const int value = RandomInRange(low, high);
    QVERIFY(value >= low);
    QVERIFY(value <= std::max(low, high) + 1);
    if (high < low)
        QCOMPARE(value, low);
}

void TestRealMediaExport::exportFileName() {
    QCOMPARE(ExportFileName("/p/", "Clip", true, 23817), QStringLiteral("/p/Clip_23817.avi"));
    QCOMPARE(ExportFileName("/p/", "my clip", false, 10000),
             QStringLiteral("/p/my clip_10000.mpg"));
}

// Exported ranges left anywhere: beside the program, or in the output folder and its hidden
// work folders.
QStringList TestRealMediaExport::Intermediates() const {
    QStringList found =
        QDir(AppPaths::WritableDir()).entryList({"*_*.avi", "*_*.mpg"}, QDir::Files);
    QDirIterator it(Path("out"), {"*_*.avi", "*_*.mpg"}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    return found;
}

BatchResult TestRealMediaExport::Convert(JobList& jobs, ExportHost& host,
                                         ConversionEngine& engine) {
    host.jobs = &jobs;
    host.Attach(engine);
    BatchSettings settings;
    settings.profileSelection = 0;
    settings.outputDir = Path("out");
    QSignalSpy finished(&engine, &ConversionEngine::BatchFinished);
    const BatchResult started = engine.StartBatch(jobs, settings);
    if (started.status != BatchResult::Status::Started || !finished.wait(60000))
        return started;
    return finished.first().first().value<BatchResult>();
}

void TestRealMediaExport::firstPassReadsTheExport_data() {
    QTest::addColumn<bool>("media");
    QTest::addColumn<double>("beginTime");
    QTest::newRow("whole clip") << true << 0.0;
    QTest::newRow("trimmed clip") << true << 0.1;
    QTest::newRow("export that cannot start reads the source") << false << 0.0;
}

void TestRealMediaExport::firstPassReadsTheExport() {
    QFETCH(bool, media);
    QFETCH(double, beginTime);
    QString source = realMediaClip;
    if (!media) {
        source = Path("not media.rm");
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("this is not a media file");
    }
    JobList jobs;
    Job job = Job::FromPath(source, 2.0);
    job.beginTime = beginTime;
    job.endTime = 1.5;
    QVERIFY(job.isRealMedia);
    jobs.Append(job);

    ExportHost host;
    ConversionEngine engine;
    const BatchResult result = Convert(jobs, host, engine);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    // (A source that is no media cannot give a file that plays.)
    QCOMPARE(result.finishedJobs, media ? 1 : 0);
    QVERIFY(host.texts.contains("Buffering  0.00%"));

    QFile output(Path("read"));
    QVERIFY(output.open(QIODevice::ReadOnly));
    const QByteArray data = output.readAll();
    if (media) {
        // An AVI file (RIFF....AVI ) or an MPEG program stream (00 00 01 BA).
        QVERIFY2(data.startsWith("RIFF") || data.startsWith(QByteArray("\0\0\1\xba", 4)),
                 data.left(16).toHex().constData());
    } else {
        QCOMPARE(data, QByteArray("this is not a media file"));
    }
    QCOMPARE(Intermediates(), QStringList());
}

void TestRealMediaExport::cancelDuringExportLeavesNothing() {
    JobList jobs;
    jobs.Append(Job::FromPath(realMediaClip, 2.0));
    ExportHost host;
    ConversionEngine engine;
    // Stop is pressed as soon as the export has been set up.
    host.onRepaint = [&engine](const Job& job) {
        if (job.status == JobStatus::Exporting)
            engine.CancelActiveJob();
    };
    const BatchResult result = Convert(jobs, host, engine);
    QCOMPARE(result.status, BatchResult::Status::Canceled);
    QCOMPARE(JobProgressCell(jobs.At(0)).text, QStringLiteral("Canceled"));
    QVERIFY(!engine.Exporter().IsExporting());
    QCOMPARE(Intermediates(), QStringList());
    QCOMPARE(QDir(Path("out")).entryList(QDir::Files), QStringList());
}

// The export is paused with the batch (its ffmpeg stops), and the job does not go on to its
// passes before the resume.
void TestRealMediaExport::pauseHoldsTheExport() {
    JobList jobs;
    Job job = Job::FromPath(realMediaClip, 2.0);
    job.endTime = 1.5; // as long as the reference the fake pass copies
    jobs.Append(job);
    ExportHost host;
    ConversionEngine engine;
    bool pausedOnce = false;
    QList<JobStatus> whilePaused;
    host.onRepaint = [&](const Job& job) {
        if (engine.IsPaused())
            whilePaused.append(job.status);
        if (job.status == JobStatus::Exporting && !pausedOnce) {
            pausedOnce = true;
            engine.SetPaused(true);
        }
    };
    // Resumed once the export's ffmpeg is seen stopped.
    bool exportStopped = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (engine.IsPaused() && ProcessStates::AnyStopped(ProcessStates::ChildrenOf(
                                     QCoreApplication::applicationPid()))) {
            exportStopped = true;
            engine.SetPaused(false);
        }
    });
    watch.start(20);
    const BatchResult result = Convert(jobs, host, engine);
    QVERIFY(exportStopped);
    QCOMPARE(result.status, BatchResult::Status::Completed);
    QCOMPARE(jobs.At(0).failReason, QString());
    QCOMPARE(result.finishedJobs, 1);
    QVERIFY(pausedOnce);
    QVERIFY2(!whilePaused.contains(JobStatus::FirstPass) &&
                 !whilePaused.contains(JobStatus::Finished),
             "the job moved on while paused");
    QVERIFY(!engine.Exporter().IsSuspended());
}

QTEST_GUILESS_MAIN(TestRealMediaExport)
#include "tst_real_media_export.moc"
