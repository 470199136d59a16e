// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFixtures.h"
#include "media/OutputCheck.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// The check of a finished file, on real encoder output: damage anywhere in it is found.
class TestOutputCheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void damageAnywhereIsFound_data();
    void damageAnywhereIsFound();

private:
    QTemporaryDir dir;
    QHash<QString, QString> outputs; // by codecs
};

namespace {

constexpr double Seconds = 10.0;

QStringList Recipe(const QStringList& codecs) {
    const QString length = QString::number(Seconds);
    return QStringList{"-f", "lavfi", "-i", "testsrc2=size=176x144:rate=15:duration=" + length,
                       "-f", "lavfi", "-i", "sine=sample_rate=8000:duration=" + length} +
           codecs + QStringList{"-ac", "1", "-f", "3gp"};
}

} // namespace

void TestOutputCheck::initTestCase() {
    MediaFixtures fixtures(dir.path());
    outputs["h263"] = fixtures.MakeWith("h263.3gp", Recipe({"-c:v", "h263", "-b:v", "128k", "-c:a",
                                                            "libopencore_amrnb", "-b:a", "12.2k"}));
    outputs["mpeg4"] = fixtures.MakeWith(
        "mpeg4.3gp", Recipe({"-c:v", "mpeg4", "-b:v", "192k", "-c:a", "aac", "-b:a", "32k"}));
    QVERIFY2(!outputs["h263"].isEmpty() && !outputs["mpeg4"].isEmpty(),
             qPrintable(fixtures.LastError()));
}

void TestOutputCheck::damageAnywhereIsFound_data() {
    QTest::addColumn<QString>("codecs");
    QTest::addColumn<QString>("damage"); // 2 KB in the middle of the file: "zeros", "random"
    QTest::addColumn<QString>("reason"); // empty: the check passes

    QTest::newRow("H.263 and AMR as written") << "h263"
                                              << ""
                                              << "";
    QTest::newRow("H.263 and AMR, zeros at half") << "h263"
                                                  << "zeros"
                                                  << "does not decode at";
    QTest::newRow("MPEG-4 and AAC as written") << "mpeg4"
                                               << ""
                                               << "";
    QTest::newRow("MPEG-4 and AAC, garbage at half") << "mpeg4"
                                                     << "random"
                                                     << "does not decode at";
}

void TestOutputCheck::damageAnywhereIsFound() {
    QFETCH(QString, codecs);
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    QFile source(outputs[codecs]);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    QRandomGenerator random(23);
    const qsizetype middle = bytes.size() / 2;
    for (qsizetype i = 0; i < 2048 && !damage.isEmpty(); ++i)
        bytes[middle + i] = damage == "zeros" ? '\0' : char(random.bounded(256));
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".3gp");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    OutputExpectation expected;
    expected.brandPrefix = "3gp";
    expected.video = expected.audio = true;
    expected.duration = Seconds;
    const Result<void> checked = CheckOutputFile(path, expected);
    if (reason.isEmpty()) {
        QVERIFY2(checked, qPrintable(checked.error()));
    } else {
        QVERIFY(!checked);
        QVERIFY2(checked.error().startsWith("The output file does not decode cleanly") &&
                     checked.error().contains(reason),
                 qPrintable(checked.error()));
    }
}

QTEST_GUILESS_MAIN(TestOutputCheck)
#include "tst_output_check.moc"
