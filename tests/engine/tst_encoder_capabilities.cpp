// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EncoderCapabilities.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

// The encoder's answer is kept between runs and asked again when the program changes.
class TestEncoderCapabilities : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void keptAnswer_data();
    void keptAnswer();

private:
    QTemporaryDir cacheHome;
};

namespace {

// A stand-in for ffmpeg that counts its runs in a file beside itself.
const char* const FakeProgram = R"(#!/bin/sh
echo run >> "$(dirname "$0")/runs"
case "$2" in
-encoders) printf ' V..... = Video\n ------\n V..... h263   H.263\n A..... aac    AAC\n' ;;
-muxers) printf ' E = Muxing\n --\n  E 3gp   3GP\n' ;;
esac
)";

int RunsOf(const QString& dir) {
    QFile runs(dir + QStringLiteral("/runs"));
    return runs.open(QIODevice::ReadOnly) ? int(runs.readAll().count('\n')) : 0;
}

// Asks and returns how many times the program ran for it; Ready must have come.
int Ask(const QString& program, bool* readyAtOnce = nullptr) {
    const QString dir = program.left(program.lastIndexOf(u'/'));
    const int before = RunsOf(dir);
    EncoderCapabilities capabilities;
    QSignalSpy ready(&capabilities, &EncoderCapabilities::Ready);
    capabilities.Query(program);
    if (readyAtOnce != nullptr)
        *readyAtOnce = ready.count() == 1;
    if (ready.isEmpty() && !ready.wait(10000))
        return -1;
    if (!capabilities.IsKnown() ||
        !capabilities.MissingFor({program, {QStringLiteral("h263")}, {QStringLiteral("3gp")}}) ||
        capabilities.MissingFor({program, {QStringLiteral("libopencore_amrnb")}, {}}))
        return -2;
    return RunsOf(dir) - before;
}

} // namespace

void TestEncoderCapabilities::initTestCase() {
    QVERIFY(cacheHome.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
}

void TestEncoderCapabilities::keptAnswer_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("runsAfterChange");
    QTest::newRow("same program") << "none" << 0;
    QTest::newRow("program rewritten") << "append" << 2;
    QTest::newRow("program touched") << "touch" << 2;
    QTest::newRow("another program") << "other" << 2;
    QTest::newRow("kept file damaged") << "damage" << 2;
}

void TestEncoderCapabilities::keptAnswer() {
    QFETCH(QString, change);
    QFETCH(int, runsAfterChange);
    QFile::remove(EncoderCapabilities::CacheFilePath());
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("ffmpeg"));
    const auto writeProgram = [](const QString& path, const QByteArray& extra) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(FakeProgram + extra) > 0 &&
               file.setPermissions(file.permissions() | QFile::ExeOwner);
    };
    QVERIFY(writeProgram(program, {}));
    QCOMPARE(Ask(program), 2);

    QString askedNext = program;
    if (change == u"append") {
        QVERIFY(writeProgram(program, "# a newer build\n"));
    } else if (change == u"touch") {
        const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(program).constData(), times, 0) == 0);
    } else if (change == u"other") {
        askedNext = dir.filePath(QStringLiteral("bin/ffmpeg"));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
        QVERIFY(writeProgram(askedNext, {}));
    } else if (change == u"damage") {
        QFile kept(EncoderCapabilities::CacheFilePath());
        QVERIFY(kept.open(QIODevice::WriteOnly | QIODevice::Truncate));
        kept.write("{\"key\":");
    }
    bool readyAtOnce = false;
    QCOMPARE(Ask(askedNext, &readyAtOnce), runsAfterChange);
    // A kept answer comes before Query returns: nothing waits for it.
    QCOMPARE(readyAtOnce, runsAfterChange == 0);
}

QTEST_GUILESS_MAIN(TestEncoderCapabilities)
#include "tst_encoder_capabilities.moc"
