// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FilePlacement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

// What the injected calls refuse: the no-replace flag, and links.
int refusedFlag = 0;
int refusedLink = 0;

int RenameRefusingFlag(int fromDir, const char* from, int toDir, const char* to,
                       unsigned int flags) {
    if (flags != 0 && refusedFlag != 0) {
        errno = refusedFlag;
        return -1;
    }
    return ::renameat2(fromDir, from, toDir, to, flags);
}

int LinkRefused(const char* from, const char* to) {
    if (refusedLink != 0) {
        errno = refusedLink;
        return -1;
    }
    return ::link(from, to);
}

} // namespace

class TestFilePlacement : public QObject {
    Q_OBJECT
private slots:
    void placesWithoutReplacing_data();
    void placesWithoutReplacing();
};

void TestFilePlacement::placesWithoutReplacing_data() {
    QTest::addColumn<int>("flagError");
    QTest::addColumn<int>("linkError");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("placed"); // "" when placement fails
    QTest::addColumn<QStringList>("files");

    const QStringList both{"tone (2).3gp", "tone.3gp"};
    QTest::newRow("no-replace rename") << 0 << 0 << "tone" << false << "tone (2)" << both;
    // FUSE mounts, network shares, phones.
    QTest::newRow("flag refused: link and unlink")
        << EINVAL << 0 << "tone" << false << "tone (2)" << both;
    QTest::newRow("flag unknown: link and unlink")
        << ENOSYS << 0 << "tone" << false << "tone (2)" << both;
    QTest::newRow("links refused too: check and rename")
        << EOPNOTSUPP << EPERM << "tone" << false << "tone (2)" << both;
    QTest::newRow("overwrite where the flag is refused")
        << EINVAL << EPERM << "tone" << true << "tone" << QStringList{"tone.3gp"};
    QTest::newRow("an already numbered name goes on counting")
        << 0 << 0 << "tone (2)" << false << "tone (3)"
        << QStringList{"tone (2).3gp", "tone (3).3gp", "tone.3gp"};
    // Any other refusal fails the move, and the file stays where it was.
    QTest::newRow("refused for another reason")
        << EACCES << 0 << "tone" << false << "" << QStringList{"tone.3gp"};
}

void TestFilePlacement::placesWithoutReplacing() {
    QFETCH(int, flagError);
    QFETCH(int, linkError);
    QFETCH(QString, name);
    QFETCH(bool, replace);
    QFETCH(QString, placed);
    refusedFlag = flagError;
    refusedLink = linkError;
    QTemporaryDir work;
    QTemporaryDir out;
    const auto write = [](const QString& path, const QByteArray& text) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    const QString from = QDir(work.path()).filePath("finished.3gp");
    write(from, "new");
    write(QDir(out.path()).filePath("tone.3gp"), "old");
    if (name != "tone")
        write(QDir(out.path()).filePath(name + ".3gp"), "old");

    FileSystemCalls calls;
    calls.renameat2 = RenameRefusingFlag;
    calls.link = LinkRefused;
    const Result<QString> result =
        PlaceFile(QFile::encodeName(from), out.path(), name, ".3gp",
                  replace ? PlaceMode::ReplaceExisting : PlaceMode::KeepExisting, calls);

    QCOMPARE(result ? *result : QString(), placed);
    QTEST(QDir(out.path()).entryList(QDir::Files, QDir::Name), "files");
    QCOMPARE(QFile::exists(from), placed.isEmpty()); // moved, or still there
    for (const QString& file : QDir(out.path()).entryList(QDir::Files)) {
        QFile read(QDir(out.path()).filePath(file));
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), QByteArray(file == placed + ".3gp" ? "new" : "old"));
    }
    if (placed.isEmpty())
        QVERIFY2(result.error().contains("Permission denied"), qPrintable(result.error()));
}

QTEST_GUILESS_MAIN(TestFilePlacement)
#include "tst_file_placement.moc"
