// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JobCellText.h"
#include "engine/JobList.h"

#include <QTest>

class TestJobCellText : public QObject {
    Q_OBJECT
private slots:
    void progress_data();
    void progress();
    void timeLeft_data();
    void timeLeft();
    void columns_data();
    void columns();
};

void TestJobCellText::progress_data() {
    QTest::addColumn<int>("finished");
    QTest::addColumn<int>("isRealMedia");
    QTest::addColumn<int>("phase");
    QTest::addColumn<double>("exportPercent");
    QTest::addColumn<double>("beginTime");
    QTest::addColumn<double>("endTime");
    QTest::addColumn<double>("encodedTime");
    QTest::addColumn<int>("sizeKB");
    QTest::addColumn<double>("framesPerSecond");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasBar");
    QTest::addColumn<int>("position");

    QTest::newRow("finished") << 1 << 0 << 1 << 0.0 << 0.0 << 40.0 << 10.0 << 648 << 50.0
                              << " Finished " << true << 100;
    QTest::newRow("finished wins over canceled")
        << 1 << 0 << 9 << 0.0 << 0.0 << 40.0 << 0.0 << 0 << 0.0 << " Finished " << true << 100;
    QTest::newRow("buffering") << 0 << 1 << 0 << 37.5 << 0.0 << 40.0 << 0.0 << 0 << 0.0
                               << "Buffering  37.50%" << true << 37;
    QTest::newRow("buffering truncates the bar") << 0 << 1 << 0 << 12.5 << 0.0 << 40.0 << 0.0 << 0
                                                 << 0.0 << "Buffering  12.50%" << true << 12;
    QTest::newRow("export done 50 of 200") << 0 << 1 << 0 << 25.0 << 0.0 << 40.0 << 0.0 << 0 << 0.0
                                           << "Buffering  25.00%" << true << 25;
    QTest::newRow("encoding") << 0 << 0 << 1 << 0.0 << 0.0 << 40.0 << 10.0 << 648 << 50.0
                              << "00:00:10    0.63MB    50.00Frames/s      %25 " << true << 25;
    QTest::newRow("realmedia job encoding its export")
        << 0 << 1 << 1 << 100.0 << 0.0 << 40.0 << 10.0 << 648 << 50.0
        << "00:00:10    0.63MB    50.00Frames/s      %25 " << true << 25;
    QTest::newRow("99 percent shows 100")
        << 0 << 0 << 1 << 0.0 << 0.0 << 40.0 << 39.7 << 100 << 1.0
        << "00:00:39    0.10MB    1.00Frames/s      %100 " << true << 100;
    QTest::newRow("trimmed range") << 0 << 0 << 1 << 0.0 << 60.0 << 160.0 << 65.2 << 1280 << 48.3
                                   << "00:01:05    1.25MB    48.30Frames/s      %65 " << true << 65;
    QTest::newRow("empty range is at 0")
        << 0 << 0 << 1 << 0.0 << 5.0 << 5.0 << 2.0 << 10 << 1.0
        << "00:00:02    0.01MB    1.00Frames/s      %0 " << true << 0;
    QTest::newRow("nothing written yet")
        << 0 << 0 << 1 << 0.0 << 0.0 << 40.0 << 2.0 << 0 << 1.0 << "" << false << 0;
    QTest::newRow("no time yet") << 0 << 0 << 1 << 0.0 << 0.0 << 40.0 << 0.0 << 10 << 1.0 << ""
                                 << false << 0;
    QTest::newRow("second pass") << 0 << 0 << 2 << 0.0 << 0.0 << 40.0 << 40.0 << 648 << 50.0
                                 << "Exporting" << false << 0;
    QTest::newRow("third pass") << 0 << 0 << 3 << 0.0 << 0.0 << 40.0 << 40.0 << 648 << 50.0
                                << "Changeing" << false << 0;
    QTest::newRow("canceled") << 0 << 1 << 9 << 50.0 << 0.0 << 40.0 << 0.0 << 0 << 0.0 << "Canceled"
                              << false << 0;
    QTest::newRow("failed") << 0 << 0 << 10 << 0.0 << 0.0 << 40.0 << 0.0 << 0 << 0.0 << "Failed"
                            << false << 0;
    QTest::newRow("not started") << 0 << 0 << 0 << 0.0 << 0.0 << 40.0 << 0.0 << 0 << 0.0 << ""
                                 << false << 0;
}

void TestJobCellText::progress() {
    Job job;
    QFETCH(int, finished);
    QFETCH(int, isRealMedia);
    QFETCH(int, phase);
    // The rows name a job's state by its pass number (9 canceled, 10 failed) and its flags.
    job.isRealMedia = isRealMedia != 0;
    const JobStatus byPhase[] = {JobStatus::Waiting, JobStatus::FirstPass, JobStatus::SecondPass,
                                 JobStatus::ThirdPass};
    job.status = finished == 1                    ? JobStatus::Finished
                 : phase == 9                     ? JobStatus::Canceled
                 : phase == 10                    ? JobStatus::Failed
                 : phase == 0 && isRealMedia == 1 ? JobStatus::Exporting
                                                  : byPhase[phase];
    QFETCH(double, exportPercent);
    QFETCH(double, beginTime);
    QFETCH(double, endTime);
    QFETCH(double, encodedTime);
    QFETCH(int, sizeKB);
    QFETCH(double, framesPerSecond);
    job.exportPercent = exportPercent;
    job.beginTime = beginTime;
    job.endTime = endTime;
    job.encodedTime = encodedTime;
    job.sizeKB = sizeKB;
    job.framesPerSecond = framesPerSecond;

    const ProgressCell cell = JobProgressCell(job);
    QTEST(cell.text, "text");
    QTEST(cell.hasBar, "hasBar");
    QTEST(JobCellText(job, JobColumn::Progress, 0), "text");
    if (cell.hasBar) {
        QTEST(cell.position, "position");
        QCOMPARE(cell.range, 100);
        QCOMPARE(cell.barRed, 154);
        QCOMPARE(cell.barGreen, 30);
        QCOMPARE(cell.barBlue, 28);
    }
}

void TestJobCellText::timeLeft_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown") << -1.0 << "";
    QTest::newRow("seconds") << 44.2 << "45 s left";
    QTest::newRow("a minute is rounded up") << 59.5 << "1 min left";
    QTest::newRow("minutes") << 150.0 << "3 min left";
    QTest::newRow("hours") << 3700.0 << "1 h 02 min left";
}

// A row's status line ends with its time left only when jobs run side by side.
void TestJobCellText::timeLeft() {
    QFETCH(double, seconds);
    Job job;
    job.status = JobStatus::FirstPass;
    job.endTime = 40.0;
    job.encodedTime = 10.0;
    job.sizeKB = 648;
    job.secondsLeft = seconds;
    const QString alone = JobProgressCell(job).text;
    QCOMPARE(alone, QStringLiteral("00:00:10    0.63MB    0.00Frames/s      %25 "));
    QFETCH(QString, text);
    QCOMPARE(FormatTimeLeft(seconds), text);
    QCOMPARE(JobProgressCell(job, true).text, text.isEmpty() ? alone : alone + "   " + text);
}

void TestJobCellText::columns_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("copies"); // the same file added this many times; the last is shown
    QTest::addColumn<double>("beginTime");
    QTest::addColumn<double>("endTime");
    QTest::addColumn<int>("outputType");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("written"); // a finished job's file; "" for a job not finished

    QTest::newRow("windows path, two dots")
        << "D:\\video\\clip.final.avi" << 1 << 0.0 << 3725.9 << 0
        << QStringList{"clip.final.avi", "00:00:00", "01:02:05", "clip.final.3gp"} << "";
    QTest::newRow("3gp with aac") << "/v/clip.mpg" << 1 << 59.99 << 61.0 << 1
                                  << QStringList{"clip.mpg", "00:00:59", "00:01:01", "clip.3gp"}
                                  << "";
    QTest::newRow("3gp2") << "/v/clip.mpg" << 1 << 0.0 << 36000.0 << 2
                          << QStringList{"clip.mpg", "00:00:00", "10:00:00", "clip.3g2"} << "";
    QTest::newRow("no output type selected")
        << "/v/clip.mpg" << 1 << 0.0 << 1.0 << -1
        << QStringList{"clip.mpg", "00:00:00", "00:00:01", ""} << "";
    QTest::newRow("second copy of a file")
        << "/v/clip.mpg" << 2 << 0.0 << 1.0 << 0
        << QStringList{"clip.mpg", "00:00:00", "00:00:01", "clip (2).3gp"} << "";
    // A 3GP batch has finished, then the user picks 3GP2: the row names the file it wrote.
    QTest::newRow("finished keeps its file's name")
        << "/v/clip.mpg" << 1 << 0.0 << 1.0 << 2
        << QStringList{"clip.mpg", "00:00:00", "00:00:01", "clip.3gp"} << "clip.3gp";
}

void TestJobCellText::columns() {
    QFETCH(QString, path);
    QFETCH(int, copies);
    QFETCH(double, beginTime);
    QFETCH(double, endTime);
    QFETCH(int, outputType);
    QFETCH(QStringList, texts);
    QFETCH(QString, written);
    JobList jobs;
    for (int i = 0; i < copies; ++i) {
        Job job = Job::FromPath(path, endTime);
        job.beginTime = beginTime;
        if (!written.isEmpty()) {
            job.status = JobStatus::Finished;
            job.writtenName = written;
        }
        jobs.Append(job);
    }
    const Job& job = jobs.At(copies - 1);
    for (int column = 0; column < texts.size(); ++column)
        QCOMPARE(JobCellText(job, static_cast<JobColumn>(column), outputType), texts.at(column));
}

QTEST_GUILESS_MAIN(TestJobCellText)
#include "tst_job_cell_text.moc"
