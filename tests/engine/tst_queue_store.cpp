// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ErrorLog.h"
#include "engine/QueueStore.h"
#include "media/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestQueueStore : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readsBackWhatWasWritten();
    void unreadableFileIsSetAside_data();
    void unreadableFileIsSetAside();

private:
    QueueState Sample() const;
    QString Path() const { return dir->filePath("state/Morvane/queue.json"); }

    std::unique_ptr<QTemporaryDir> dir;
};

void TestQueueStore::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    AppPaths::SetProgramDir(dir->path()); // log.txt goes there
}

// Three rows: finished, running when the program died, waiting on a file that has gone since.
QueueState TestQueueStore::Sample() const {
    QueueState state;
    const QString present = dir->filePath("clip.avi");
    QFile file(present);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
    Job finished = Job::FromPath(present, 10.0);
    finished.status = JobStatus::Finished;
    finished.writtenName = "clip.3gp";
    Job running = Job::FromPath(present, 10.0);
    running.beginTime = 2.5;
    running.status = JobStatus::FirstPass;
    running.ownOutputType = 2;
    running.ownProfile = 3;
    Job gone = Job::FromPath(dir->filePath("gone.avi"), 4.0);
    for (const Job& job : {finished, running, gone})
        state.jobs.Append(job);
    state.jobs.SetOutputName(2, "gone (4)"); // a batch kept an existing file's name
    state.outputType = 1;
    state.profileSelection = 2;
    state.simultaneousJobs = 0;
    return state;
}

void TestQueueStore::readsBackWhatWasWritten() {
    QVERIFY(QueueStore::Write(Path(), Sample()));
    const Result<QueueState> read = QueueStore::Read(Path());
    QVERIFY2(read, qPrintable(read.error()));
    QCOMPARE(read->outputType, 1);
    QCOMPARE(read->profileSelection, 2);
    QCOMPARE(read->simultaneousJobs, 0);
    QCOMPARE(read->jobs.Count(), 3);
    QCOMPARE(read->jobs.At(0).status, JobStatus::Finished);
    QCOMPARE(read->jobs.At(0).writtenName, QString("clip.3gp"));
    QCOMPARE(read->jobs.At(1).status, JobStatus::Interrupted);
    QCOMPARE(read->jobs.At(1).beginTime, 2.5);
    QCOMPARE(read->jobs.At(1).endTime, 10.0);
    QCOMPARE(read->jobs.At(1).outputName, QString("clip (2)"));
    QCOMPARE(read->jobs.At(1).ownOutputType, 2);
    QCOMPARE(read->jobs.At(1).ownProfile, 3);
    QVERIFY(!read->jobs.At(1).sourceMissing);
    QVERIFY(read->jobs.At(2).sourceMissing);
    QCOMPARE(read->jobs.At(2).status, JobStatus::Waiting);
    QCOMPARE(read->jobs.At(2).outputName, QString("gone (4)"));
    // No file yet: an empty list, not a failure.
    QVERIFY(QueueStore::Read(dir->filePath("none.json")));
}

void TestQueueStore::unreadableFileIsSetAside_data() {
    QTest::addColumn<QByteArray>("damage"); // what becomes of a good file
    QTest::newRow("torn") << QByteArray("cut");
    QTest::newRow("garbage") << QByteArray("\x00\xff garbage {", 12);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("later version") << QByteArray(R"({"version": 2, "jobs": []})");
    QTest::newRow("row without a source")
        << QByteArray(R"({"version": 1, "jobs": [{"begin": 0, "end": 1, "length": 1,)"
                      R"( "status": "waiting"}]})");
    QTest::newRow("time that is no time")
        << QByteArray(R"({"version": 1, "jobs": [{"source": "/a.avi", "begin": -1, "end": 1,)"
                      R"( "length": 1, "status": "waiting"}]})");
}

// A file torn by a crash, or anything else that is not a queue, is never read as one: the list
// starts empty, the file is kept aside with a line in log.txt, and the next write is whole.
void TestQueueStore::unreadableFileIsSetAside() {
    QFETCH(QByteArray, damage);
    QVERIFY(QueueStore::Write(Path(), Sample()));
    QFile file(Path());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray content = file.readAll();
    if (damage == "cut")
        content.truncate(content.size() / 2);
    else
        content = damage;
    QVERIFY(file.resize(0));
    file.write(content);
    file.close();

    QVERIFY(!QueueStore::Read(Path()));
    const QueueState state = QueueStore::ReadOrSetAside(Path());
    QCOMPARE(state.jobs.Count(), 0);
    QVERIFY(!QFile::exists(Path()));
    QFile aside(Path() + ".unreadable");
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), content);
    QFile log(ErrorLog::LogFilePath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("QUEUE:"));

    // The keeper writes whole files again, at most once per interval.
    int snapshots = 0;
    {
        QueueKeeper keeper(Path(), [&] {
            ++snapshots;
            return Sample();
        });
        keeper.Changed();
        keeper.Changed();
        QTRY_COMPARE(snapshots, 1);
        keeper.Changed();
    } // the last change is written at the keeper's end
    QCOMPARE(snapshots, 2);
    const Result<QueueState> read = QueueStore::Read(Path());
    QVERIFY(read);
    QCOMPARE(read->jobs.Count(), 3);
}

QTEST_GUILESS_MAIN(TestQueueStore)
#include "tst_queue_store.moc"
