// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaExporter.h"

#include "MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

// What ffprobe says about an exported file.
struct Probed {
    QString format;
    QString videoCodec;
    QString audioCodec;
    int width = 0;
    int height = 0;
    double frameRate = 0.0;
    double duration = 0.0;
};

double Rational(const QString& text) {
    const QStringList parts = text.split(u'/');
    if (parts.size() != 2 || parts[1].toDouble() == 0.0)
        return 0.0;
    return parts[0].toDouble() / parts[1].toDouble();
}

Probed Probe(const QString& path) {
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-show_entries",
                              "stream=codec_type,codec_name,width,height,avg_frame_rate:format="
                              "format_name,duration",
                              "-of", "json", "file:" + path});
    ffprobe.waitForFinished(30000);
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    Probed probed;
    probed.format = root["format"].toObject()["format_name"].toString();
    probed.duration = root["format"].toObject()["duration"].toString().toDouble();
    for (const QJsonValue& value : root["streams"].toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream["codec_type"].toString() == "video") {
            probed.videoCodec = stream["codec_name"].toString();
            probed.width = stream["width"].toInt();
            probed.height = stream["height"].toInt();
            probed.frameRate = Rational(stream["avg_frame_rate"].toString());
        } else if (stream["codec_type"].toString() == "audio") {
            probed.audioCodec = stream["codec_name"].toString();
        }
    }
    return probed;
}

int IndexContaining(const QStringList& names, const QString& part) {
    for (int i = 0; i < names.size(); ++i) {
        if (names[i].contains(part))
            return i;
    }
    return -1;
}

} // namespace

class TestMediaExporter : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void codecLists_data();
    void codecLists();
    void exportRange_data();
    void exportRange();
    void rangeIsCutAtClipEnd();
    void stopMidwayLeavesNoFile();
    void restartAfterStopKeepsNewFile();
    void destroyingEndsExport();
    void refusedBeforeStart_data();
    void refusedBeforeStart();
    void failureAfterStart_data();
    void failureAfterStart();

private:
    // A clip long enough for an export to be caught while it runs.
    QString LongClip();

    QTemporaryDir dir;
    QString clips[2]; // .rm and .rmvb
};

void TestMediaExporter::initTestCase() {
    QVERIFY(dir.isValid());
    MediaFixtures fixtures(dir.filePath("fixtures"));
    clips[0] = fixtures.Make("rm");
    QVERIFY2(!clips[0].isEmpty(), qPrintable(fixtures.LastError()));
    clips[1] = fixtures.Make("rmvb");
    QVERIFY2(!clips[1].isEmpty(), qPrintable(fixtures.LastError()));
}

QString TestMediaExporter::LongClip() {
    const QString path = dir.filePath("long.rm");
    if (QFileInfo(path).size() > 0)
        return path;
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                            "testsrc=size=640x480:rate=25:duration=40", "-f", "lavfi", "-i",
                            "sine=duration=40", "-c:v", "rv20", "-c:a", "ac3", "-f", "rm", path});
    ffmpeg.waitForFinished(120000);
    return ffmpeg.exitCode() == 0 ? path : QString();
}

void TestMediaExporter::codecLists_data() {
    QTest::addColumn<bool>("video");
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("encoder");

    QTest::newRow("MPEG-4 V3") << true << "Microsoft MPEG-4 Video Codec V3"
                               << "msmpeg4";
    QTest::newRow("DivX") << true << "DivX"
                          << "mpeg4";
    QTest::newRow("Motion JPEG") << true << "Motion JPEG"
                                 << "mjpeg";
    QTest::newRow("MP3") << false << "MPEG Layer-3"
                         << "libmp3lame";
    QTest::newRow("PCM") << false << "PCM"
                         << "pcm_s16le";
}

void TestMediaExporter::codecLists() {
    QFETCH(bool, video);
    QFETCH(QString, part);
    QFETCH(QString, encoder);

    MediaExporter exporter;
    QStringList names = video ? exporter.VideoCodecs() : exporter.AudioCodecs();
    QVERIFY(!names.isEmpty());
    QCOMPARE(names.removeDuplicates(), 0);

    // The list names only what this machine can encode, so ask ffmpeg itself.
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-hide_banner", "-encoders"});
    QVERIFY(ffmpeg.waitForFinished(30000));
    const QString encoders = QString::fromLatin1(ffmpeg.readAllStandardOutput());
    const bool machineHasIt = encoders.contains(QRegularExpression(" " + encoder + " "));
    QCOMPARE(IndexContaining(names, part) >= 0, machineHasIt);
    // Only one entry per key word, so a search by name cannot land on the wrong codec.
    QCOMPARE(names.filter(part).size(), machineHasIt ? 1 : 0);
}

void TestMediaExporter::exportRange_data() {
    QTest::addColumn<int>("clip");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("videoName"); // entry to choose, empty for none
    QTest::addColumn<QString>("audioName");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("audioCodec");

    QTest::newRow("rm to AVI, MPEG-4 V3 + MP3") << 0 << 8 << "Microsoft MPEG-4 Video Codec V3"
                                                << "MPEG Layer-3"
                                                << "clip_12345.avi"
                                                << "avi"
                                                << "msmpeg4v3"
                                                << "mp3";
    QTest::newRow("rmvb to AVI, MPEG-4 V3 + MP3") << 1 << 8 << "Microsoft MPEG-4 Video Codec V3"
                                                  << "MPEG Layer-3"
                                                  << "clip_2.avi"
                                                  << "avi"
                                                  << "msmpeg4v3"
                                                  << "mp3";
    QTest::newRow("rm to AVI, DivX + PCM") << 0 << 8 << "DivX"
                                           << "PCM"
                                           << "divx.avi"
                                           << "avi"
                                           << "mpeg4"
                                           << "pcm_s16le";
    QTest::newRow("rm to MPEG, no codecs") << 0 << 6 << ""
                                           << ""
                                           << "clip_40000.mpg"
                                           << "mpeg"
                                           << "mpeg1video"
                                           << "mp2";
    QTest::newRow("rmvb to MPEG, no codecs") << 1 << 6 << ""
                                             << ""
                                             << "clip_3.mpg"
                                             << "mpeg"
                                             << "mpeg1video"
                                             << "mp2";
    QTest::newRow("MPEG ignores codecs it cannot carry")
        << 0 << 6 << "Microsoft MPEG-4 Video Codec V3"
        << "MPEG Layer-3"
        << "chosen.mpg"
        << "mpeg"
        << "mpeg1video"
        << "mp2";
    QTest::newRow("odd file name") << 1 << 8 << "Microsoft MPEG-4 Video Codec V3"
                                   << "MPEG Layer-3"
                                   << "my \"best\" 'clip' $HOME caf\u00e9 \u65e5\u672c_1.avi"
                                   << "avi"
                                   << "msmpeg4v3"
                                   << "mp3";
}

void TestMediaExporter::exportRange() {
    QFETCH(int, clip);
    QFETCH(int, format);
    QFETCH(QString, videoName);
    QFETCH(QString, audioName);
    QFETCH(QString, fileName);
    QFETCH(QString, container);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);

    MediaExporter exporter;
    const int videoIndex = IndexContaining(exporter.VideoCodecs(), videoName);
    const int audioIndex = IndexContaining(exporter.AudioCodecs(), audioName);
    if (!videoName.isEmpty() && (videoIndex < 0 || audioIndex < 0))
        QSKIP("this machine lacks one of the encoders");

    // The page's order of calls.
    exporter.CloseClip();
    exporter.SetFrameWidth(320);
    exporter.SetFrameHeight(240);
    exporter.SetBitsPerPixel(24);
    exporter.SetFrameRate(15.0f);
    exporter.SetOutputFormat(format);
    if (!videoName.isEmpty()) {
        exporter.SetUseVideoCodec(true);
        exporter.SetVideoCodecIndex(videoIndex);
        exporter.SetUseAudioCodec(true);
        exporter.SetAudioCodecIndex(audioIndex);
    }
    // The source copied to an odd name too, so both ends of the command cope with it.
    const QString source = dir.filePath(QFileInfo(fileName).completeBaseName() + " src." +
                                        QFileInfo(clips[clip]).suffix());
    QFile::remove(source);
    QVERIFY(QFile::copy(clips[clip], source));
    QVERIFY2(exporter.OpenClipRange(source, 0.5, 1.0, 0), qPrintable(exporter.LastError()));
    QVERIFY(exporter.SetClipRange(source, 0.5, 1.0));

    QSignalSpy progress(&exporter, &MediaExporter::ExportProgress);
    QSignalSpy done(&exporter, &MediaExporter::ExportDone);
    QSignalSpy failed(&exporter, &MediaExporter::ExportFailed);
    // The page's done handler stops the export first: that must not touch the finished file.
    connect(&exporter, &MediaExporter::ExportDone, &exporter, &MediaExporter::StopExport);

    const QString output = dir.filePath(fileName);
    QVERIFY2(exporter.ExportToFile(output), qPrintable(exporter.LastError()));
    QVERIFY(exporter.IsExporting());
    QVERIFY(done.wait(60000));
    QCOMPARE(failed.count(), 0);
    QTest::qWait(200); // nothing may follow the end
    QCOMPARE(done.count(), 1);
    QVERIFY(!exporter.IsExporting());

    QVERIFY(!progress.isEmpty());
    double last = 0.0;
    for (const QList<QVariant>& report : progress) {
        QVERIFY(report[0].toDouble() >= last);
        QCOMPARE(report[1].toDouble(), 1.0);
        last = report[0].toDouble();
    }
    QVERIFY2(last > 1.0 - 0.1 - 1.0 / 15 && last <= 1.0, qPrintable(QString::number(last)));

    QVERIFY(QFileInfo(output).size() > 0);
    const Probed probed = Probe(output);
    QVERIFY2(probed.format.contains(container), qPrintable(probed.format));
    QCOMPARE(probed.videoCodec, videoCodec);
    QCOMPARE(probed.audioCodec, audioCodec);
    QCOMPARE(probed.width, 320);
    QCOMPARE(probed.height, 240);
    QVERIFY2(qAbs(probed.frameRate - 15.0) < 0.5, qPrintable(QString::number(probed.frameRate)));
    QVERIFY2(qAbs(probed.duration - 1.0) <= 0.1 + 1.0 / 15,
             qPrintable(QString::number(probed.duration)));
}

void TestMediaExporter::rangeIsCutAtClipEnd() {
    MediaExporter exporter;
    QVERIFY(exporter.OpenClipRange(clips[0], 1.5, 10.0, 0));
    QVERIFY(qAbs(exporter.RangeLength() - (MediaFixtures::ClipSeconds - 1.5)) < 0.1);

    QSignalSpy progress(&exporter, &MediaExporter::ExportProgress);
    QSignalSpy done(&exporter, &MediaExporter::ExportDone);
    const QString output = dir.filePath("tail.avi");
    QVERIFY(exporter.ExportToFile(output));
    QVERIFY(done.wait(60000));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last()[1].toDouble(), exporter.RangeLength());
    QVERIFY(qAbs(Probe(output).duration - exporter.RangeLength()) <= 0.1 + 1.0 / 15);
}

void TestMediaExporter::stopMidwayLeavesNoFile() {
    const QString clip = LongClip();
    QVERIFY(!clip.isEmpty());
    MediaExporter exporter;
    QVERIFY(exporter.OpenClipRange(clip, 0.0, 40.0, 0));
    const QString output = dir.filePath("stopped.avi");

    // Stopped from inside the progress handler, as the page does on a cancel.
    double stoppedAt = -1.0;
    connect(&exporter, &MediaExporter::ExportProgress, &exporter, [&](double done, double total) {
        if (stoppedAt < 0.0 && done > 0.0) {
            stoppedAt = done / total;
            exporter.StopExport();
        }
    });
    QSignalSpy progress(&exporter, &MediaExporter::ExportProgress);
    QSignalSpy done(&exporter, &MediaExporter::ExportDone);
    QSignalSpy failed(&exporter, &MediaExporter::ExportFailed);
    QVERIFY(exporter.ExportToFile(output));
    QVERIFY(progress.wait(60000));
    QVERIFY2(stoppedAt > 0.0 && stoppedAt < 0.5, qPrintable(QString::number(stoppedAt)));
    QVERIFY(!exporter.IsExporting());
    QVERIFY(!QFileInfo::exists(output));

    QTest::qWait(1000); // long enough for the killed child to be reaped
    QCOMPARE(progress.count(), 1);
    QCOMPARE(done.count(), 0);
    QCOMPARE(failed.count(), 0);
    QVERIFY(!QFileInfo::exists(output));

    // The exporter is usable again.
    exporter.CloseClip();
    QVERIFY(exporter.OpenClipRange(clips[0], 0.0, 0.5, 0));
    QVERIFY(exporter.ExportToFile(output));
    QVERIFY(done.wait(60000));
    QVERIFY(QFileInfo(output).size() > 0);
}

void TestMediaExporter::restartAfterStopKeepsNewFile() {
    const QString clip = LongClip();
    QVERIFY(!clip.isEmpty());
    MediaExporter exporter;
    QVERIFY(exporter.OpenClipRange(clip, 0.0, 40.0, 0));
    const QString output = dir.filePath("again.avi");
    QSignalSpy progress(&exporter, &MediaExporter::ExportProgress);
    QSignalSpy done(&exporter, &MediaExporter::ExportDone);
    QVERIFY(exporter.ExportToFile(output));
    QVERIFY(progress.wait(60000));
    exporter.StopExport();

    // At once a new export to the same name: the stopped one's end, reported once the new
    // file exists, must not remove it. (No events are handled until then.)
    QVERIFY(exporter.OpenClipRange(clip, 0.0, 10.0, 0));
    QVERIFY(exporter.ExportToFile(output));
    for (int i = 0; i < 500 && !QFileInfo::exists(output); ++i)
        QThread::msleep(10);
    QVERIFY(QFileInfo::exists(output));
    QSignalSpy failed(&exporter, &MediaExporter::ExportFailed);
    QVERIFY(QTest::qWaitFor([&] { return !done.isEmpty() || !failed.isEmpty(); }, 60000));
    QCOMPARE(failed.count(), 0);
    QTest::qWait(500);
    QVERIFY(QFileInfo(output).size() > 0);
}

void TestMediaExporter::destroyingEndsExport() {
    const QString clip = LongClip();
    QVERIFY(!clip.isEmpty());
    const QString output = dir.filePath("destroyed.avi");
    auto exporter = std::make_unique<MediaExporter>();
    QVERIFY(exporter->OpenClipRange(clip, 0.0, 40.0, 0));
    QSignalSpy progress(exporter.get(), &MediaExporter::ExportProgress);
    QVERIFY(exporter->ExportToFile(output));
    QVERIFY(progress.wait(60000));
    QVERIFY(progress.last()[0].toDouble() < 20.0);
    exporter.reset();
    QVERIFY(!QFileInfo::exists(output));
}

void TestMediaExporter::refusedBeforeStart_data() {
    QTest::addColumn<QString>("input"); // relative to the temp folder, or a fixture
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");
    QTest::addColumn<QString>("output"); // relative to the temp folder
    QTest::addColumn<bool>("opens");

    QTest::newRow("missing input") << "nothing here.rm" << 0.0 << 1.0 << "out.avi" << false;
    QTest::newRow("text file named .rm") << "notes.rm" << 0.0 << 1.0 << "out.avi" << false;
    QTest::newRow("empty range") << "<rm>" << 0.5 << 0.0 << "out.avi" << false;
    QTest::newRow("negative start") << "<rm>" << -1.0 << 1.0 << "out.avi" << false;
    QTest::newRow("range after the end") << "<rm>" << 5.0 << 1.0 << "out.avi" << false;
    QTest::newRow("missing output folder") << "<rm>" << 0.0 << 1.0 << "no/such/dir/out.avi" << true;
    QTest::newRow("output folder is a file") << "<rm>" << 0.0 << 1.0 << "notes.rm/out.avi" << true;
    QTest::newRow("read-only output folder") << "<rm>" << 0.0 << 1.0 << "readonly/out.avi" << true;
}

void TestMediaExporter::refusedBeforeStart() {
    QFETCH(QString, input);
    QFETCH(double, start);
    QFETCH(double, length);
    QFETCH(QString, output);
    QFETCH(bool, opens);

    QFile notes(dir.filePath("notes.rm"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("These are not moving pictures.\n");
    notes.close();
    QDir(dir.path()).mkdir("readonly");
    QFile::setPermissions(dir.filePath("readonly"), QFile::ReadOwner | QFile::ExeOwner);
    if (output.startsWith("readonly") && QFileInfo(dir.filePath("readonly")).isWritable())
        QSKIP("this user may write into read-only folders");

    const QString path = input == "<rm>" ? clips[0] : dir.filePath(input);
    MediaExporter exporter;
    QSignalSpy failed(&exporter, &MediaExporter::ExportFailed);
    QCOMPARE(exporter.OpenClipRange(path, start, length, 0), opens);
    if (!opens)
        QVERIFY(!exporter.LastError().isEmpty());
    QVERIFY(!exporter.ExportToFile(dir.filePath(output)));
    QVERIFY(!exporter.LastError().isEmpty());
    QVERIFY(!exporter.IsExporting());
    QVERIFY(!QFileInfo::exists(dir.filePath(output)) || output.startsWith("notes"));
    QCOMPARE(failed.count(), 0);
}

void TestMediaExporter::failureAfterStart_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("reason"); // ffmpeg's own words, passed on in the message
    QTest::newRow("input gone after opening") << "input gone"
                                              << "No such file";
    QTest::newRow("output is a folder") << "output folder"
                                        << "Is a directory";
    QTest::newRow("input truncated after opening") << "input truncated"
                                                   << "Invalid data";
}

void TestMediaExporter::failureAfterStart() {
    QFETCH(QString, what);
    QFETCH(QString, reason);

    const QString source = dir.filePath("doomed.rm");
    QFile::remove(source);
    QVERIFY(QFile::copy(clips[0], source));
    QString output = dir.filePath("doomed.avi");
    MediaExporter exporter;
    QVERIFY(exporter.OpenClipRange(source, 0.0, 1.5, 0));
    if (what == "input gone") {
        QVERIFY(QFile::remove(source));
    } else if (what == "input truncated") {
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(40));
    } else {
        output = dir.filePath("a folder.avi");
        QVERIFY(QDir(dir.path()).mkpath("a folder.avi"));
    }

    QSignalSpy done(&exporter, &MediaExporter::ExportDone);
    QSignalSpy failed(&exporter, &MediaExporter::ExportFailed);
    QVERIFY(exporter.ExportToFile(output));
    QVERIFY(failed.wait(60000));
    QCOMPARE(done.count(), 0);
    const QString message = failed.first()[0].toString();
    QVERIFY2(message.contains("doomed.rm") && message.contains(reason), qPrintable(message));
    QCOMPARE(exporter.LastError(), message);
    QVERIFY(!exporter.IsExporting());
    if (what != "output folder")
        QVERIFY(!QFileInfo::exists(output));
}

QTEST_GUILESS_MAIN(TestMediaExporter)
#include "tst_media_exporter.moc"
