// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EncoderOutputParser.h"

#include <QTest>

class TestEncoderOutputParser : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void chunksOfOneLine();
};

namespace {

// A job that has seen some output already, so that "keeps its value" can be told apart.
Job SeenJob() {
    Job job;
    job.sizeKB = 7;
    job.encodedTime = 3.5;
    job.framesPerSecond = 11.0;
    return job;
}

} // namespace

void TestEncoderOutputParser::parse_data() {
    QTest::addColumn<QByteArray>("chunk");
    QTest::addColumn<uint>("elapsedMs");
    QTest::addColumn<int>("sizeKB");
    QTest::addColumn<double>("encodedTime");
    QTest::addColumn<double>("framesPerSecond");

    QTest::newRow("status with time in seconds")
        << QByteArray("frame=  250 fps= 50 q=2.0 size=     648kB time=10.0 bitrate= 530.8kbits/s")
        << 5000u << 648 << 10.0 << 50.0;
    QTest::newRow("real ffmpeg line")
        << QByteArray("frame=  250 fps= 50 q=2.0 size=     648kB time=00:00:10.00 bitrate= "
                      "530.8kbits/s speed=2.01x    \r")
        << 5000u << 648 << 10.0 << 50.0;
    QTest::newRow("clock time past an hour")
        << QByteArray("frame=100000 fps=25 q=2.0 size=  123456kB time=01:02:05.20 bitrate=1k")
        << 4000000u << 123456 << 3725.2 << 25.0;
    QTest::newRow("size in KiB") << QByteArray("size=     648KiB time=00:01:05.20 bitrate=")
                                 << 1000u << 648 << 65.2 << 11.0;
    QTest::newRow("final line") << QByteArray("frame=   30 fps=0.0 q=-1.0 Lsize=      52kB "
                                              "time=00:00:02.00 bitrate= 213.1kbits/s")
                                << 1500u << 52 << 2.0 << 20.0;
    QTest::newRow("seconds read five characters wide")
        << QByteArray("time=1234.5 bitrate") << 1u << 7 << 1234.0 << 11.0;
    QTest::newRow("four characters after time are enough")
        << QByteArray("time=12.5") << 1u << 7 << 12.5 << 11.0;
    QTest::newRow("three characters after time are not")
        << QByteArray("xx time=1.5") << 1u << 7 << 3.5 << 11.0;
    QTest::newRow("clock time cut by the chunk keeps the last time")
        << QByteArray("size=     648kB time=00:00:1") << 1u << 648 << 3.5 << 11.0;
    QTest::newRow("frame too close to the end")
        << QByteArray("xx frame=  25") << 1000u << 7 << 3.5 << 11.0;
    QTest::newRow("size cut without its unit")
        << QByteArray("frame=  250 size=   64") << 1000u << 7 << 3.5 << 250.0;
    QTest::newRow("short size with its unit")
        << QByteArray("size=  648kB") << 1u << 648 << 3.5 << 11.0;
    QTest::newRow("no millisecond elapsed gives speed 0")
        << QByteArray("frame=  250 fps= 50 ") << 0u << 7 << 3.5 << 0.0;
    QTest::newRow("fields without digits read 0")
        << QByteArray("frame=    0 fps=0.0 q=0.0 size=N/A time=N/A bitrate=N/A") << 1000u << 0
        << 0.0 << 0.0;
    QTest::newRow("no keys change nothing")
        << QByteArray("Press [q] to stop, [?] for help\n") << 1000u << 7 << 3.5 << 11.0;
    QTest::newRow("text ends at a zero byte")
        << QByteArray("frame=  250 fps= 50") + '\0' + QByteArray("size=  648kB time=10.0 bitrate=")
        << 5000u << 7 << 3.5 << 50.0;
    QTest::newRow("first of several status lines")
        << QByteArray("frame=   10 size=      20kB time=00:00:01.00 bitrate=1\rframe=   20 "
                      "size=      40kB time=00:00:02.00 bitrate=1\r")
        << 1000u << 20 << 1.0 << 10.0;
    QTest::newRow("negative start time")
        << QByteArray("size=       0kB time=-00:00:00.04 bitrate=N/A") << 1u << 0 << -0.04 << 11.0;
}

void TestEncoderOutputParser::parse() {
    QFETCH(QByteArray, chunk);
    QFETCH(uint, elapsedMs);
    Job job = SeenJob();
    ParseEncoderOutput(chunk, job, elapsedMs);
    QTEST(job.sizeKB, "sizeKB");
    QTEST(job.encodedTime, "encodedTime");
    QTEST(job.framesPerSecond, "framesPerSecond");
}

// A status line cut in two by the 255-byte reads is taken from whichever part holds each key.
void TestEncoderOutputParser::chunksOfOneLine() {
    const QByteArray line("frame=  250 fps= 50 q=2.0 size=     648kB time=00:00:10.00 bitrate=1\r");
    for (qsizetype cut = 0; cut <= line.size(); ++cut) {
        Job job = SeenJob();
        ParseEncoderOutput(line.first(cut), job, 5000);
        ParseEncoderOutput(line.sliced(cut), job, 5000);
        QVERIFY2(job.sizeKB == 648 || job.sizeKB == 7, qPrintable(QString::number(cut)));
        QVERIFY2(job.encodedTime == 10.0 || job.encodedTime == 3.5 || job.encodedTime == 0.0,
                 qPrintable(QString::number(cut)));
        // A number is never taken from a cut that shortened it.
        QVERIFY(job.sizeKB != 64 && job.sizeKB != 6);
    }
}

QTEST_GUILESS_MAIN(TestEncoderOutputParser)
#include "tst_encoder_output_parser.moc"
