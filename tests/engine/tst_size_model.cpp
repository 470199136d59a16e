// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SizeModel.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// First passes as the shipped profiles write their rates.
const QString AmrNormal = QStringLiteral("ffmpeg -i in -c:v h263 -level 45 -b:v 100k -maxrate 110k "
                                         "-bufsize 54k -c:a libopencore_amrnb -b:a 12.2k out.3gp");
const QString H263Cif = QStringLiteral("ffmpeg -i in -c:v h263 -level 30 -b:v 200k -maxrate 220k "
                                       "-bufsize 108k -c:a libopencore_amrnb -b:a 12.2k out.3gp");
const QString AacQvga = QStringLiteral("ffmpeg -i in -c:v mpeg4 -bf 0 -level 3 -b:v 300k -maxrate "
                                       "330k -bufsize 161k -c:a aac -b:a 96k out.3gp");
const QString PlainNumbers = QStringLiteral("ffmpeg -i in -c:v h263 -b:v 64000 -b:a 7.95k out.3gp");

} // namespace

class TestSizeModel : public QObject {
    Q_OBJECT
private slots:
    void init();
    void estimate_data();
    void estimate();
    void fitRate_data();
    void fitRate();
    void fileSize_data();
    void fileSize();
    void shownSize_data();
    void shownSize();

private:
    QTemporaryDir cacheHome;
};

void TestSizeModel::init() {
    QVERIFY(cacheHome.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    QFile::remove(SizeModel::CorrectionFilePath());
}

void TestSizeModel::estimate_data() {
    QTest::addColumn<QString>("firstPass");
    QTest::addColumn<double>("begin");
    QTest::addColumn<double>("end");
    QTest::addColumn<double>("madeRatio"); // what an earlier job made of its estimate; 0: none
    QTest::addColumn<qint64>("expected");
    // (video + sound) x range / 8 + 1500 + 480 a second.
    QTest::newRow("10 s at 100k + 12.2k") << AmrNormal << 0.0 << 10.0 << 0.0 << qint64(146550);
    QTest::newRow("a range from 5 s counts its length")
        << AmrNormal << 5.0 << 15.0 << 0.0 << qint64(146550);
    QTest::newRow("2.5 s at 300k + 96k") << AacQvga << 0.0 << 2.5 << 0.0 << qint64(126450);
    QTest::newRow("rates in bits") << PlainNumbers << 0.0 << 4.0 << 0.0 << qint64(39395);
    QTest::newRow("earlier files came out 20% larger")
        << AmrNormal << 0.0 << 10.0 << 1.2 << qint64(175860);
}

void TestSizeModel::estimate() {
    QFETCH(QString, firstPass);
    QFETCH(double, begin);
    QFETCH(double, end);
    QFETCH(double, madeRatio);
    QFETCH(qint64, expected);
    const SizeProfile profile{QStringLiteral("3GP_AMR_Profile.ini/QCIF"),
                              RatesOfTemplates({firstPass})};
    if (madeRatio > 0.0)
        SizeModel::Load().Record(profile.key, 100000, qint64(100000 * madeRatio));
    Job job = Job::FromPath(QStringLiteral("/clips/a.avi"), 60.0);
    job.beginTime = begin;
    job.endTime = end;
    JobList jobs;
    jobs.Append(job);
    jobs.Append(job);
    // The correction is read back as a later run would.
    const SizeModel model = SizeModel::Load();
    QCOMPARE(model.EstimateJob(job, profile), expected);
    QCOMPARE(model.EstimateBatch(jobs, profile), 2 * expected);
    QCOMPARE(model.EstimateJob(job, profile, 50000), std::min<qint64>(expected, 50000));
}

void TestSizeModel::fitRate_data() {
    QTest::addColumn<qint64>("target");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("firstPass");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<double>("expected"); // bits per second
    QTest::addColumn<QString>("reason");  // part of the failure; empty: it fits
    QTest::newRow("30 s into 300 KB")
        << qint64(300000) << 30.0 << AmrNormal << true << 60529.6 << QString();
    QTest::newRow("room for more than Level 45 allows")
        << qint64(1000000) << 5.0 << AmrNormal << true << 100000.0 << QString();
    QTest::newRow("Level 30 allows more than the profile's rate")
        << qint64(1000000) << 5.0 << H263Cif << true << 299520.0 << QString();
    QTest::newRow("the sound alone is too large")
        << qint64(300000) << 60.0 << AacQvga << true << 0.0
        << "60 s of sound at 96 kbit/s alone needs about 750 KB: it cannot fit into 300 KB.";
    QTest::newRow("too little left for a picture")
        << qint64(30000) << 10.0 << AmrNormal << true << 0.0
        << "Fitting 10 s into 30 KB leaves 6 kbit/s for the picture, below the 16 kbit/s";
    QTest::newRow("a sound file needs no picture")
        << qint64(30000) << 10.0 << AmrNormal << false << 0.0 << QString();
}

void TestSizeModel::fitRate() {
    QFETCH(qint64, target);
    QFETCH(double, seconds);
    QFETCH(QString, firstPass);
    QFETCH(bool, hasVideo);
    QFETCH(double, expected);
    QFETCH(QString, reason);
    const Result<double> rate =
        FitVideoRate(target, seconds, RatesOfTemplates({firstPass}), hasVideo);
    if (!reason.isEmpty()) {
        QVERIFY(!rate);
        QVERIFY2(rate.error().startsWith(reason), qPrintable(rate.error()));
        return;
    }
    QVERIFY2(rate, qPrintable(rate.error()));
    QVERIFY2(qAbs(*rate - expected) < 1.0, qPrintable(QString::number(*rate)));
}

void TestSizeModel::fileSize_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bytes"); // 0: refused
    QTest::newRow("300K") << "300K" << qint64(300000);
    QTest::newRow("300kb") << "300kb" << qint64(300000);
    QTest::newRow("1.5MB") << "1.5MB" << qint64(1500000);
    QTest::newRow("2 MB") << "2 MB" << qint64(2000000);
    QTest::newRow("bytes") << " 250000 " << qint64(250000);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("zero") << "0K" << qint64(0);
    QTest::newRow("negative") << "-1K" << qint64(0);
    QTest::newRow("unknown unit") << "3x" << qint64(0);
    QTest::newRow("two points") << "1.5.2M" << qint64(0);
}

void TestSizeModel::fileSize() {
    QFETCH(QString, text);
    QFETCH(qint64, bytes);
    const std::optional<qint64> parsed = ParseFileSize(text);
    QCOMPARE(parsed.value_or(0), bytes);
}

void TestSizeModel::shownSize_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("bytes") << qint64(999) << "999 bytes";
    QTest::newRow("KB") << qint64(61620) << "61.6 KB";
    QTest::newRow("rounds up into MB") << qint64(999600) << "1 MB";
    QTest::newRow("a batch of GB") << qint64(2480000000) << "2.48 GB";
}

void TestSizeModel::shownSize() {
    QFETCH(qint64, bytes);
    QFETCH(QString, shown);
    QCOMPARE(FormatFileSize(bytes), shown);
}

QTEST_GUILESS_MAIN(TestSizeModel)
#include "tst_size_model.moc"
