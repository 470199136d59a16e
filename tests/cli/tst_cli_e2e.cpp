// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliTestSupport.h"
#include "MediaFixtures.h"
#include "engine/CommandTemplate.h"
#include "media/Mp4Boxes.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/OutputType.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

// Converts real media with the real encoder through morvane-cli and checks the results with
// ffprobe. One output type per run (MORVANE_E2E_TYPE), so that the types run in parallel.
class TestCliEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void everyFormat_data();
    void everyFormat();
    void everyProfile_data();
    void everyProfile();
    void fitInto_data();
    void fitInto();

private:
    struct Expected {
        QString videoCodec; // "" for an audio-only source
        QString audioCodec;
        double length = 0.0;
        int level = 0; // the level the profile names
    };
    void Convert(const QString& source, const QStringList& options, const Expected& expected);
    QStringList ProfileTitles() const;
    QString ProfileVideoCodec(int number) const;
    QString FirstPass(int number) const;

    OutputType type = OutputType::Amr3gp;
    QString prefix; // makes this run's file names unique beside the other types' runs
    QTemporaryDir fixtureDir;
    std::optional<MediaFixtures> fixtures;
    QTemporaryDir outDir;
};

void TestCliEndToEnd::initTestCase() {
    const int value = qEnvironmentVariableIntValue("MORVANE_E2E_TYPE");
    QVERIFY(IsValidOutputType(value));
    type = static_cast<OutputType>(value);
    prefix = QStringLiteral("e2e_t%1_").arg(value);
    fixtures.emplace(fixtureDir.path());
    QVERIFY(outDir.isValid());
}

void TestCliEndToEnd::init() {
    QDir out(outDir.path());
    for (const QString& name : out.entryList(QDir::Files))
        out.remove(name);
}

QStringList TestCliEndToEnd::ProfileTitles() const {
    CProfileIniReader reader;
    reader.SetFile(QDir(TestPaths::ProgramDir()).filePath("app/" + ProfileFileName(type)));
    QStringList names;
    reader.GetSectionNames(names);
    QStringList titles;
    for (const QString& name : names.mid(1))
        titles.append(reader.GetValue(name, "Title"));
    return titles;
}

// The first pass template of a profile (1-based).
QString TestCliEndToEnd::FirstPass(int number) const {
    CProfileIniReader reader;
    reader.SetFile(QDir(TestPaths::ProgramDir()).filePath("app/" + ProfileFileName(type)));
    QStringList names, keys, values;
    reader.GetSectionNames(names);
    reader.GetSection(names.value(number), keys, values);
    return values.value(1);
}

// The video codec that a profile's first pass asks for.
QString TestCliEndToEnd::ProfileVideoCodec(int number) const {
    return QRegularExpression("-c:v\\s+(\\w+)").match(FirstPass(number)).captured(1);
}

void TestCliEndToEnd::Convert(const QString& source, const QStringList& options,
                              const Expected& expected) {
    const CliTest::Run run =
        CliTest::RunCli(QStringList{"-t", QString::number(int(type)), "-o", outDir.path()} +
                        options + QStringList{source});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains("Finished\n"));
    QVERIFY(run.out.endsWith("Converting Finished\n"));

    // Only the final file is left: no intermediate of the 3GP2 passes.
    const QString extension = OutputExtension(type);
    const QString baseName = QFileInfo(source).completeBaseName();
    QCOMPARE(QDir(outDir.path()).entryList(QDir::Files), QStringList{baseName + extension});
    // No RealMedia intermediate is left beside the program.
    QCOMPARE(QDir(TestPaths::ProgramDir()).entryList({baseName + "_*.avi", baseName + "_*.mpg"}),
             QStringList());

    const QString output = QDir(outDir.path()).filePath(baseName + extension);
    const QJsonObject probe = CliTest::Probe(output);
    const QString brand =
        probe.value("format").toObject().value("tags").toObject().value("major_brand").toString();
    QVERIFY2(brand.startsWith(type == OutputType::Aac3g2 ? "3g2" : "3gp"), qPrintable(brand));
    QCOMPARE(CliTest::CodecOf(probe, "video"), expected.videoCodec);
    QCOMPARE(CliTest::CodecOf(probe, "audio"), expected.audioCodec);

    const double duration =
        probe.value("format").toObject().value("duration").toString().toDouble();
    double frame = 0.05; // about one audio frame
    for (const auto& value : probe.value("streams").toArray()) {
        const QStringList rate = value.toObject().value("r_frame_rate").toString().split('/');
        if (value.toObject().value("codec_type") == "video" && rate.size() == 2 &&
            rate.at(0).toDouble() > 0)
            frame = rate.at(1).toDouble() / rate.at(0).toDouble();
    }
    QVERIFY2(std::abs(duration - expected.length) <= 0.1 + frame,
             qPrintable(QStringLiteral("%1 s, expected %2 s").arg(duration).arg(expected.length)));
    QCOMPARE(CliTest::DecodeErrors(output), QString());

    // As a phone reads it: the index first, the profile's level, the buffer size that an MPEG-4
    // stream needs (a copy pass leaves 0).
    const Result<Mp4Index> index = ReadMp4Index(output);
    QVERIFY2(index, qPrintable(index.error()));
    QVERIFY(index->moovFirst);
    for (const Mp4Track& track : index->tracks) {
        if (track.format == "s263")
            QCOMPARE(track.h263Level, expected.level);
        if (track.format == "mp4v")
            QCOMPARE(track.mpeg4ProfileLevel, expected.level);
        if (track.esdsRatesAt >= 0) {
            QFile file(output);
            QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(track.esdsRatesAt));
            QVERIFY(file.read(3) != QByteArray(3, '\0'));
        }
    }
}

void TestCliEndToEnd::everyFormat_data() {
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QStringList>("recipe"); // empty: the format's standard clip
    QTest::addColumn<double>("length");
    for (const QString& extension : MediaFixtures::Extensions())
        QTest::newRow(qPrintable(extension))
            << extension << QStringList() << MediaFixtures::ClipSeconds;
    // Files as they come from the wild.
    QTest::newRow("mp3 with a cover picture") << "mp3" << MediaFixtures::CoverArtMp3Recipe() << 1.5;
    QTest::newRow("a clap of 0.3 s")
        << "wav" << QStringList{"-f", "lavfi", "-i", "sine=duration=0.3", "-c:a", "pcm_s16le"}
        << 0.3;
    QTest::newRow("MPEG-1 stream whose header guesses 0.02 s")
        << "mpg"
        << QStringList{"-f",   "lavfi",      "-i",   "testsrc=size=160x120:rate=30:duration=2.5",
                       "-c:v", "mpeg1video", "-b:v", "2M",
                       "-f",   "mpeg1video"}
        << 2.5;
}

// Every input format with the type's default profile, the whole clip.
void TestCliEndToEnd::everyFormat() {
    QFETCH(QString, extension);
    QFETCH(QStringList, recipe);
    QFETCH(double, length);
    const QString name = prefix + QString(QTest::currentDataTag()).replace(' ', '_');
    const QString source = recipe.isEmpty() ? fixtures->Make(extension, prefix + extension)
                                            : fixtures->MakeWith(name + '.' + extension, recipe);
    QVERIFY2(!source.isEmpty(), qPrintable(fixtures->LastError()));
    const bool audioOnly = MediaFixtures::IsAudioOnly(extension) ||
                           recipe.contains("attached_pic") || recipe.contains("sine=duration=0.3");
    CProfileIniReader reader;
    reader.SetFile(QDir(TestPaths::ProgramDir()).filePath("app/" + ProfileFileName(type)));
    const int defaultProfile = reader.GetValue("Info", "DefaultProfile").toInt();
    Expected expected;
    expected.videoCodec = audioOnly ? QString() : ProfileVideoCodec(defaultProfile);
    expected.level = TargetVideoLevel(FirstPass(defaultProfile));
    expected.audioCodec = recipe.contains("mpeg1video") ? QString()
                          : type == OutputType::Amr3gp  ? "amr_nb"
                                                        : "aac";
    expected.length = length;
    Convert(source, {}, expected);
}

void TestCliEndToEnd::everyProfile_data() {
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("trimmed");
    const QStringList titles = ProfileTitles();
    for (int number = 1; number <= titles.size(); ++number) {
        for (const QString extension : {"avi", "wav"}) {
            for (const bool trimmed : {false, true}) {
                QTest::addRow("%d %s, %s", number, qPrintable(extension),
                              trimmed ? "0.25 s to 0.9 s" : "whole")
                    << number << extension << trimmed;
            }
        }
    }
}

// Every shipped profile on a video and a sound file, whole and trimmed.
void TestCliEndToEnd::everyProfile() {
    QFETCH(int, profile);
    QFETCH(QString, extension);
    QFETCH(bool, trimmed);
    const QString source = fixtures->Make(extension, prefix + extension);
    QVERIFY2(!source.isEmpty(), qPrintable(fixtures->LastError()));
    Expected expected;
    expected.videoCodec =
        MediaFixtures::IsAudioOnly(extension) ? QString() : ProfileVideoCodec(profile);
    expected.level = TargetVideoLevel(FirstPass(profile));
    expected.audioCodec = type == OutputType::Amr3gp ? "amr_nb" : "aac";
    // Trims reach the encoder to the millisecond: a range under a second is not empty.
    expected.length = trimmed ? 0.65 : MediaFixtures::ClipSeconds;
    QStringList options{"-p", QString::number(profile)};
    if (trimmed)
        options << "-b"
                << "0.25"
                << "-e"
                << "0.9";
    Convert(source, options, expected);
}

void TestCliEndToEnd::fitInto_data() {
    QTest::addColumn<QString>("size");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("reason"); // empty: the file must be made
    // 10 s of noise: the default profiles' own rates make 140-190 KB of it.
    QTest::newRow("into 100 KB") << "100K" << qint64(100000) << QString();
    QTest::newRow("into 1 MB, more than the level allows") << "1M" << qint64(1000000) << QString();
    // The sound alone (AAC) or the sound and the least picture (AMR) need more.
    QTest::newRow("into 30 KB: cannot fit") << "30K" << qint64(30000) << "into 30 KB";
}

// A file made to fit a size is never over it, and one that cannot fit fails with the reason
// and leaves nothing behind.
void TestCliEndToEnd::fitInto() {
    QFETCH(QString, size);
    QFETCH(qint64, bytes);
    QFETCH(QString, reason);
    const QString source = fixtures->MakeWith(
        prefix + "noise.avi",
        {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=10,noise=alls=40:allf=t",
         "-f", "lavfi", "-i", "anoisesrc=duration=10:amplitude=0.3", "-c:v", "mpeg4", "-q:v", "2",
         "-c:a", "pcm_s16le"});
    QVERIFY2(!source.isEmpty(), qPrintable(fixtures->LastError()));
    const CliTest::Run run = CliTest::RunCli(
        {"-t", QString::number(int(type)), "-o", outDir.path(), "--fit", size, source});
    const QString output =
        QDir(outDir.path()).filePath(QFileInfo(source).completeBaseName() + OutputExtension(type));
    if (!reason.isEmpty()) {
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains(reason), qPrintable(run.out + run.err));
        QVERIFY(!QFileInfo::exists(output));
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    const qint64 made = QFileInfo(output).size();
    QVERIFY2(made > 0 && made <= bytes, qPrintable(QString::number(made)));
    QCOMPARE(CliTest::DecodeErrors(output), QString());
}

QTEST_GUILESS_MAIN(TestCliEndToEnd)
#include "tst_cli_e2e.moc"
