// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/VideoLevel.h"

#include <QTest>

// The level model on crafted sample tables: what a phone's decoder would refuse.
Q_DECLARE_METATYPE(SampleTable)

class TestVideoLevel : public QObject {
    Q_OBJECT
private slots:
    void fit_data();
    void fit();
};

namespace {

// Pictures at 15 per second in the writer's time scale (15360), sizes in bytes.
SampleTable Pictures(const QList<quint32>& sizes, quint32 delta = 1024) {
    return {15360, sizes, QList<quint32>(sizes.size(), delta)};
}

QList<quint32> Repeat(quint32 size, int count) {
    return QList<quint32>(count, size);
}

} // namespace

void TestVideoLevel::fit_data() {
    QTest::addColumn<bool>("h263");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("width");
    QTest::addColumn<SampleTable>("samples");
    QTest::addColumn<QString>("problem"); // empty: fits
    QTest::addColumn<bool>("mendable");   // a lower rate would make it fit

    // 10 s at 120 kbit/s, 15 pictures a second (a hair faster than 30000/2002).
    QTest::newRow("steady QCIF fits Level 45")
        << true << 45 << 176 << Pictures(Repeat(1000, 150)) << "" << false;
    // 72,000 bits: more than H.263's 64 kbit for a QCIF picture, though the rest is light.
    QTest::newRow("one over-large picture")
        << true << 45 << 176 << Pictures(QList<quint32>{9000} + Repeat(300, 149))
        << "a picture of 72000 bits" << true;
    // Ten 40 kbit pictures in a row: 128 kbit/s drains 8.5 kbit a picture, 82.6 kbit holds.
    QTest::newRow("buffer overflow")
        << true << 45 << 176 << Pictures(Repeat(5000, 10) + Repeat(200, 140))
        << "a decoder buffer of" << true;
    // Half a second whose first picture alone is more than a second's budget of Level 0b.
    QTest::newRow("short clip with a heavy first picture")
        << false << 0x09 << 176 << Pictures(QList<quint32>{20000} + Repeat(500, 7))
        << "an average of 188.0 kbit/s" << true;
    QTest::newRow("30 pictures a second are past Level 45")
        << true << 45 << 176 << Pictures(Repeat(300, 300), 512) << "30.00 pictures per second"
        << false;
    QTest::newRow("CIF is past MPEG-4 Level 0b")
        << false << 0x09 << 352 << Pictures(Repeat(300, 150)) << "396 macroblocks per picture"
        << false;
}

void TestVideoLevel::fit() {
    QFETCH(bool, h263);
    QFETCH(int, level);
    QFETCH(int, width);
    QFETCH(SampleTable, samples);
    QFETCH(QString, problem);
    QFETCH(bool, mendable);
    const int height = width * 9 / 11;
    const std::optional<LevelLimits> limits =
        h263 ? H263LevelLimits(level, width, height) : Mpeg4LevelLimits(level);
    QVERIFY(limits);
    const LevelFit fit = FitLevel(*limits, width, height, samples);
    QCOMPARE(fit.fits, problem.isEmpty());
    QVERIFY2(fit.problem.contains(problem), qPrintable(fit.problem));
    QCOMPARE(fit.overshoot > 1.0, mendable);
}

QTEST_GUILESS_MAIN(TestVideoLevel)
#include "tst_video_level.moc"
