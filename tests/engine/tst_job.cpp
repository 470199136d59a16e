// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Job.h"
#include "engine/JobList.h"

#include <QTest>

class TestJob : public QObject {
    Q_OBJECT
private slots:
    void derivedNames_data();
    void derivedNames();
    void realMedia_data();
    void realMedia();
    void formatHms_data();
    void formatHms();
    void newJobDefaults();
    void resetProgress_data();
    void resetProgress();
    void sameNameGetsNumberedOutput();
    void removingRenumbersLaterJobs();
    void setKeepsListOwnedOutputName();
};

void TestJob::derivedNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("baseName");

    QTest::newRow("windows, two dots") << "D:\\video\\clip.final.avi"
                                       << "clip.final.avi"
                                       << "clip.final";
    QTest::newRow("posix") << "/home/u/Videos/holiday.mpg"
                           << "holiday.mpg"
                           << "holiday";
    QTest::newRow("mixed separators") << "C:/a\\b/c.wmv"
                                      << "c.wmv"
                                      << "c";
    QTest::newRow("dot only in folder") << "D:\\a.b\\clip"
                                        << "clip"
                                        << "clip";
    QTest::newRow("dot only in posix folder") << "/tmp/a.b/clip"
                                              << "clip"
                                              << "clip";
    QTest::newRow("no dot at all") << "/tmp/clip"
                                   << "clip"
                                   << "clip";
    QTest::newRow("bare name") << "clip.mov"
                               << "clip.mov"
                               << "clip";
    QTest::newRow("leading dot") << "/tmp/.hidden"
                                 << ".hidden"
                                 << ".hidden";
    QTest::newRow("blanks and quotes") << "/v/my \"best\" clip.avi"
                                       << "my \"best\" clip.avi"
                                       << "my \"best\" clip";
    QTest::newRow("dollar and non-ASCII") << "/v/$5 caf\u00e9 \u65e5\u672c.rm"
                                          << "$5 caf\u00e9 \u65e5\u672c.rm"
                                          << "$5 caf\u00e9 \u65e5\u672c";
}

void TestJob::derivedNames() {
    QFETCH(QString, path);
    QFETCH(QString, fileName);
    QFETCH(QString, baseName);
    QCOMPARE(SourceFileNameOf(path), fileName);
    QCOMPARE(BaseNameOf(path), baseName);
    QCOMPARE(Job::FromPath(path, 1.0).baseName, baseName);
}

void TestJob::realMedia_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("isRealMedia");

    QTest::newRow(".rm") << "D:\\v\\a.rm" << true;
    QTest::newRow(".rmvb") << "/v/a.rmvb" << true;
    QTest::newRow(".RM is not") << "D:\\v\\a.RM" << false;
    QTest::newRow("rm folder, avi file") << "D:\\rm\\x.avi" << false;
    QTest::newRow("no dot") << "/v/rmfile" << false;
    QTest::newRow("dot only in folder") << "/v/x.rm/clip" << false;
    QTest::newRow("rm in name before dot") << "/v/rm.avi" << false;
    QTest::newRow("wma") << "/v/a.wma" << false;
}

void TestJob::realMedia() {
    QFETCH(QString, path);
    QFETCH(bool, isRealMedia);
    QCOMPARE(IsRealMediaPath(path), isRealMedia);
    QCOMPARE(Job::FromPath(path, 1.0).isRealMedia, isRealMedia);
}

void TestJob::formatHms_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0.0 << "00:00:00";
    QTest::newRow("truncated, not rounded") << 95.9 << "00:01:35";
    QTest::newRow("hour") << 3725.9 << "01:02:05";
    QTest::newRow("begin with fraction") << 3725.5 << "01:02:05";
    QTest::newRow("hours beyond two digits") << 360000.0 << "100:00:00";
    QTest::newRow("ten hours") << 36000.0 << "10:00:00";
    QTest::newRow("just under a second") << 0.999 << "00:00:00";
    QTest::newRow("not a number") << qQNaN() << "00:00:00";
}

void TestJob::formatHms() {
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatHms(seconds), text);
}

void TestJob::newJobDefaults() {
    const Job job = Job::FromPath("/v/clip.avi", 12.5);
    QCOMPARE(job.sourcePath, QString("/v/clip.avi"));
    QCOMPARE(job.beginTime, 0.0);
    QCOMPARE(job.endTime, 12.5);
    QCOMPARE(job.sizeKB, 0);
    QCOMPARE(job.status, JobStatus::Waiting);
    QVERIFY(job.exportPath.isEmpty());
    QCOMPARE(job.exportPercent, 0.0);
}

void TestJob::resetProgress_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("unfinishedOnly");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("figuresKept");
    QTest::newRow("a finished job waits again")
        << int(JobStatus::Finished) << false << int(JobStatus::Waiting) << false;
    QTest::newRow("canceled shows until its turn")
        << int(JobStatus::Canceled) << false << int(JobStatus::Canceled) << false;
    // A retry leaves the finished jobs as they are.
    QTest::newRow("retry keeps a finished job")
        << int(JobStatus::Finished) << true << int(JobStatus::Finished) << true;
    QTest::newRow("retry resets a failed job")
        << int(JobStatus::Failed) << true << int(JobStatus::Failed) << false;
}

void TestJob::resetProgress() {
    QFETCH(int, status);
    QFETCH(bool, unfinishedOnly);
    JobList list;
    Job job = Job::FromPath("/v/a.rm", 10);
    job.sizeKB = 648;
    job.framesPerSecond = 50;
    job.encodedTime = 10;
    job.status = static_cast<JobStatus>(status);
    job.exportPercent = 37.5;
    list.Append(job);
    list.Append(Job::FromPath("/v/b.avi", 5));

    list.ResetProgress(unfinishedOnly);

    const Job& reset = list.At(0);
    QTEST(int(reset.status), "after");
    QFETCH(bool, figuresKept);
    QCOMPARE(reset.sizeKB, figuresKept ? 648 : 0);
    QCOMPARE(reset.encodedTime, figuresKept ? 10.0 : 0.0);
    QCOMPARE(reset.exportPercent, 37.5);
    QCOMPARE(list.At(1).endTime, 5.0);
}

void TestJob::sameNameGetsNumberedOutput() {
    JobList list;
    list.Append(Job::FromPath("/v/clip.avi", 10));
    list.Append(Job::FromPath("/v/clip.avi", 10));     // the same file, a second trim
    list.Append(Job::FromPath("/w/clip.mpg", 10));     // another file with the same name
    list.Append(Job::FromPath("/v/clip (2).avi", 10)); // a file named like a numbered output
    list.Append(Job::FromPath("/v/other.avi", 10));

    QCOMPARE(list.At(0).outputName, QString("clip"));
    QCOMPARE(list.At(1).outputName, QString("clip (2)"));
    QCOMPARE(list.At(2).outputName, QString("clip (3)"));
    QCOMPARE(list.At(3).outputName, QString("clip (4)")); // numbered on, not "clip (2) (2)"
    QCOMPARE(list.At(4).outputName, QString("other"));
}

void TestJob::removingRenumbersLaterJobs() {
    JobList list;
    for (int i = 0; i < 3; ++i)
        list.Append(Job::FromPath("/v/clip.avi", 10 + i));
    list.RemoveAt(0);
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list.At(0).endTime, 11.0);
    QCOMPARE(list.At(0).outputName, QString("clip"));
    QCOMPARE(list.At(1).outputName, QString("clip (2)"));
}

void TestJob::setKeepsListOwnedOutputName() {
    JobList list;
    list.Append(Job::FromPath("/v/clip.avi", 10));
    list.Append(Job::FromPath("/v/clip.avi", 10));
    Job copy = list.At(1);
    copy.beginTime = 2.0;
    copy.outputName.clear();
    list.Set(1, copy);
    QCOMPARE(list.At(1).beginTime, 2.0);
    QCOMPARE(list.At(1).outputName, QString("clip (2)"));
}

QTEST_GUILESS_MAIN(TestJob)
#include "tst_job.moc"
