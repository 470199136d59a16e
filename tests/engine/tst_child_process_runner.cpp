// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ChildProcessRunner.h"
#include "engine/ErrorLog.h"
#include "media/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>

class TestChildProcessRunner : public QObject {
    Q_OBJECT
private slots:
    void init();
    void outputChannelsReadAlike_data();
    void outputChannelsReadAlike();
    void burstArrivesInSmallChunks();
    void missingProgramIsLoggedOnce_data();
    void missingProgramIsLoggedOnce();
    void twoFailuresAppendTwoEntries();
    void stopRequestReachesEncoderOnce_data();
    void stopRequestReachesEncoderOnce();
    void runAndWaitEndsOnCancel();
    void noChildOutlivesItsStep_data();
    void noChildOutlivesItsStep();
    void destroyingTheRunnerEndsItsChild();
    void programLookupOrder_data();
    void programLookupOrder();

private:
    QString Path(const QString& name) const { return QDir(dir->path()).filePath(name); }
    QString ReadLog() const;
    static CommandLine Fake(const QStringList& actions);
    static bool ProcessExists(const QString& pidFile);

    std::unique_ptr<QTemporaryDir> dir;
};

CommandLine TestChildProcessRunner::Fake(const QStringList& actions) {
    return CommandLine{QStringList{QStringLiteral(FAKE_ENCODER)} + actions};
}

bool TestChildProcessRunner::ProcessExists(const QString& pidFile) {
    QFile file(pidFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const int pid = file.readAll().toInt();
    return pid > 0 && ::kill(pid, 0) == 0;
}

QString TestChildProcessRunner::ReadLog() const {
    QFile log(ErrorLog::LogFilePath());
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// Every test gets a fresh program and data folder, so log.txt starts empty.
void TestChildProcessRunner::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("app")));
    AppPaths::SetProgramDir(dir->path());
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir->path())); // log.txt starts empty
}

void TestChildProcessRunner::outputChannelsReadAlike_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("stderr") << "status=40";
    QTest::newRow("stdout") << "status-out=40";
}

void TestChildProcessRunner::outputChannelsReadAlike() {
    QFETCH(QString, action);
    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    QByteArray all;
    runner.SetChunkHandler([&all](QByteArrayView chunk) { all += chunk.toByteArray(); });
    QVERIFY(runner.RunWithOutput(Fake({action})));
    QVERIFY(ended.wait(10000));
    QCOMPARE(runner.ExitResult().error(), QString());
    QCOMPARE(all.count("frame="), 40);
    QVERIFY(all.contains("time=00:00:01.60"));
    QVERIFY(ReadLog().isEmpty());
}

void TestChildProcessRunner::burstArrivesInSmallChunks() {
    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    QList<qsizetype> sizes;
    runner.SetChunkHandler([&sizes](QByteArrayView chunk) { sizes.append(chunk.size()); });
    QVERIFY(runner.RunWithOutput(Fake({"burst=600"})));
    QVERIFY(ended.wait(10000));
    qsizetype total = 0;
    for (const qsizetype size : sizes) {
        QVERIFY2(size > 0 && size <= 255, qPrintable(QString::number(size)));
        total += size;
    }
    QCOMPARE(total, qsizetype(600));
    QVERIFY(sizes.size() >= 3);
}

void TestChildProcessRunner::missingProgramIsLoggedOnce_data() {
    QTest::addColumn<bool>("withOutput");
    QTest::addColumn<int>("entries");
    QTest::newRow("first pass logs") << true << 1;
    QTest::newRow("later passes do not") << false << 0;
}

void TestChildProcessRunner::missingProgramIsLoggedOnce() {
    QFETCH(bool, withOutput);
    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    int chunks = 0;
    runner.SetChunkHandler([&chunks](QByteArrayView) { ++chunks; });
    const CommandLine command{{"no-such-encoder-here", "-i", "x"}};
    QVERIFY(!(withOutput ? runner.RunWithOutput(command) : runner.RunAndWait(command)));
    QVERIFY(!runner.IsChildRunning());
    QVERIFY(!runner.IsPassRunning());
    QVERIFY(!runner.ExitResult());
    QCOMPARE(chunks, 0);
    const QString log = ReadLog();
    QTEST(int(log.count("ERROR:")), "entries");
    if (withOutput) {
        // Each entry starts with its local time and offset, which reads back as now.
        const QDateTime stamp = QDateTime::fromString(log.section(u' ', 0, 0), Qt::ISODate);
        QVERIFY2(stamp.isValid() && qAbs(stamp.secsTo(QDateTime::currentDateTime())) < 60,
                 qPrintable(log));
        QCOMPARE(stamp.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
        QCOMPARE(log.section(u' ', 1),
                 QStringLiteral("ERROR:   API         =   CreateProcess.\n"
                                "       error   code   =   2.\n"
                                "       message         =   No such file or directory.\n"));
    }
}

void TestChildProcessRunner::twoFailuresAppendTwoEntries() {
    {
        QFile log(ErrorLog::LogFilePath());
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("older entry\n");
    }
    ChildProcessRunner runner;
    QVERIFY(!runner.RunWithOutput(CommandLine{{"no-such-encoder-here"}}));
    // A file that exists but may not be run.
    QFile notRunnable(Path("app/encoder.txt"));
    QVERIFY(notRunnable.open(QIODevice::WriteOnly));
    notRunnable.close();
    QVERIFY(!runner.RunWithOutput(CommandLine{{"./encoder.txt"}}));
    const QString log = ReadLog();
    QVERIFY(log.startsWith("older entry\n"));
    QCOMPARE(log.count("API         =   CreateProcess."), 2);
    QVERIFY(log.contains("error   code   =   2.\n"));
    QVERIFY(log.contains("error   code   =   13.\n"));
}

void TestChildProcessRunner::stopRequestReachesEncoderOnce_data() {
    QTest::addColumn<bool>("cancelDuringPass");
    QTest::newRow("after a first pass that ended by itself") << false;
    QTest::newRow("on a cancel during the first pass") << true;
}

void TestChildProcessRunner::stopRequestReachesEncoderOnce() {
    QFETCH(bool, cancelDuringPass);
    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    const QString received = Path("stdin.txt");
    runner.SetChunkHandler([&](QByteArrayView chunk) {
        // What the Stop button does, from inside the pass's output; a second Stop finds the
        // request sent.
        if (cancelDuringPass && chunk.contains("frame=")) {
            runner.Stop();
            runner.Stop();
        }
    });
    // Without a cancel the encoder closes its output and stays until stdin ends.
    const QStringList actions =
        cancelDuringPass ? QStringList{"status=5", "record-stdin=" + received}
                         : QStringList{"status=5", "close-output", "record-stdin=" + received};
    QVERIFY(runner.RunWithOutput(Fake(actions)));
    QVERIFY(ended.wait(10000));
    runner.Stop(); // after the pass: nothing happens
    QVERIFY(!runner.IsChildRunning());
    QCOMPARE(ended.size(), 1);
    if (!cancelDuringPass)
        QCOMPARE(runner.ExitResult().error(), QString()); // it ended by itself on "q"
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("q"));
}

void TestChildProcessRunner::runAndWaitEndsOnCancel() {
    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    const QString pidFile = Path("pid");
    // Stop is pressed once the encoder is surely running.
    QTimer stop;
    connect(&stop, &QTimer::timeout, this, [&] {
        if (QFile::exists(pidFile))
            runner.Stop();
    });
    stop.start(10);
    QVERIFY(runner.RunAndWait(Fake({"pid=" + pidFile, "hang"})));
    QVERIFY(ended.wait(10000));
    QVERIFY(!runner.IsChildRunning());
    QVERIFY(!ProcessExists(pidFile));
}

void TestChildProcessRunner::noChildOutlivesItsStep_data() {
    QTest::addColumn<QStringList>("actions");
    QTest::newRow("ignores the stop request") << QStringList{"status=2", "close-output", "hang"};
    QTest::newRow("crashes") << QStringList{"status=2", "crash"};
    QTest::newRow("exits with a code") << QStringList{"status=2", "exit=7"};
}

void TestChildProcessRunner::noChildOutlivesItsStep() {
    QFETCH(QStringList, actions);
    ChildProcessRunner runner;
    runner.SetGracePeriod(200);
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    const QString pidFile = Path("pid");
    QVERIFY(runner.RunWithOutput(Fake(QStringList{"pid=" + pidFile} + actions)));
    QVERIFY(ended.wait(10000));
    QVERIFY(!runner.ExitResult());
    QVERIFY(!runner.IsChildRunning());
    QVERIFY(QFile::exists(pidFile));
    QVERIFY(!ProcessExists(pidFile));
}

void TestChildProcessRunner::destroyingTheRunnerEndsItsChild() {
    const QString pidFile = Path("pid");
    {
        ChildProcessRunner runner;
        bool output = false;
        runner.SetChunkHandler([&output](QByteArrayView) { output = true; });
        QVERIFY(runner.RunWithOutput(Fake({"pid=" + pidFile, "status=3", "hang"})));
        QTRY_VERIFY(output);
        QVERIFY(runner.IsChildRunning());
    }
    QVERIFY(QFile::exists(pidFile));
    QVERIFY(!ProcessExists(pidFile));
}

void TestChildProcessRunner::programLookupOrder_data() {
    QTest::addColumn<bool>("inProgramDir");
    QTest::addColumn<bool>("inProfileDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program folder first") << true << true << "program";
    QTest::newRow("then the profile folder") << false << true << "profile";
    QTest::newRow("then PATH") << false << false << "path";
}

void TestChildProcessRunner::programLookupOrder() {
    QFETCH(bool, inProgramDir);
    QFETCH(bool, inProfileDir);
    const auto writeScript = [](const QString& path, const QString& word) {
        QFile script(path);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\necho found-" + word + "\n").toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
    };
    if (inProgramDir)
        writeScript(Path("morvane-test-enc"), "program");
    if (inProfileDir)
        writeScript(Path("app/morvane-test-enc"), "profile");
    QVERIFY(QDir(dir->path()).mkpath("bin"));
    writeScript(Path("bin/morvane-test-enc"), "path");
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(Path("bin")) + ':' + oldPath);

    ChildProcessRunner runner;
    QSignalSpy ended(&runner, &ChildProcessRunner::PassEnded);
    runner.SetWorkingDirectory(AppPaths::ProfileDir());
    QByteArray all;
    runner.SetChunkHandler([&all](QByteArrayView chunk) { all += chunk.toByteArray(); });
    QVERIFY(runner.RunWithOutput(CommandLine{{"morvane-test-enc"}}));
    QVERIFY(ended.wait(10000));
    qputenv("PATH", oldPath);
    QFETCH(QString, expected);
    QCOMPARE(all.trimmed(), ("found-" + expected).toUtf8());
}

QTEST_GUILESS_MAIN(TestChildProcessRunner)
#include "tst_child_process_runner.moc"
