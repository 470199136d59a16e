// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FilePlacement.h"
#include "engine/SourceRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// What the injected calls refuse: the no-replace flag, and links. EXDEV stands for a work
// folder on another file system: every move out of it is refused so.
int refusedFlag = 0;
int refusedLink = 0;
QByteArray workFolder;

bool FromOtherFileSystem(const char* from) {
    return refusedFlag == EXDEV && QByteArray(from).startsWith(workFolder);
}

int RenameRefusingFlag(int fromDir, const char* from, int toDir, const char* to,
                       unsigned int flags) {
    if (FromOtherFileSystem(from)) {
        errno = EXDEV;
        return -1;
    }
    if (flags != 0 && refusedFlag != 0 && refusedFlag != EXDEV) {
        errno = refusedFlag;
        return -1;
    }
    return ::renameat2(fromDir, from, toDir, to, flags);
}

int LinkRefused(const char* from, const char* to) {
    if (refusedLink != 0 || FromOtherFileSystem(from)) {
        errno = refusedLink != 0 ? refusedLink : EXDEV;
        return -1;
    }
    return ::link(from, to);
}

int NoAttributes(const char*, const char*, const void*, size_t, int) {
    errno = ENOTSUP;
    return -1;
}

ssize_t NoAttributesToRead(const char*, const char*, void*, size_t) {
    errno = ENOTSUP;
    return -1;
}

} // namespace

class TestFilePlacement : public QObject {
    Q_OBJECT
private slots:
    void placesWithoutReplacing_data();
    void placesWithoutReplacing();
    void sourceRecordStaysWithItsFile_data();
    void sourceRecordStaysWithItsFile();
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
    // A work folder on a local disk: copied into the output folder, then placed the same way.
    QTest::newRow("from another file system")
        << EXDEV << 0 << "tone" << false << "tone (2)" << both;
    QTest::newRow("overwrite from another file system")
        << EXDEV << 0 << "tone" << true << "tone" << QStringList{"tone.3gp"};
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
    workFolder = QFile::encodeName(work.path());
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
    // Hidden files too: no copy is left behind.
    QTEST(QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), "files");
    QCOMPARE(QFile::exists(from), placed.isEmpty()); // moved, or still there
    for (const QString& file : QDir(out.path()).entryList(QDir::Files)) {
        QFile read(QDir(out.path()).filePath(file));
        QVERIFY(read.open(QIODevice::ReadOnly));
        QCOMPARE(read.readAll(), QByteArray(file == placed + ".3gp" ? "new" : "old"));
    }
    if (placed.isEmpty())
        QVERIFY2(result.error().contains("Permission denied"), qPrintable(result.error()));
}

void TestFilePlacement::sourceRecordStaysWithItsFile_data() {
    QTest::addColumn<bool>("attributes"); // false: a file system without them (the index file)
    QTest::addColumn<bool>("index");      // an index file may be written
    QTest::addColumn<QString>("after");   // what happens once the record is made
    QTest::addColumn<QString>("found");   // "same", "other" or "none"
    QTest::newRow("attribute") << true << true << QString() << "same";
    QTest::newRow("index file") << false << true << QString() << "same";
    // The window's batches leave no hidden file on a phone's card.
    QTest::newRow("no attributes, no index wanted") << false << false << QString() << "none";
    // The index's line belongs to the file it was written for, not to a later one of its name.
    QTest::newRow("index file, output replaced by hand") << false << true << "replace output"
                                                         << "none";
    // An edited source that keeps its size and time is told by its last bytes.
    QTest::newRow("source's end edited, size and time kept") << true << true << "edit source"
                                                             << "other";
}

void TestFilePlacement::sourceRecordStaysWithItsFile() {
    QFETCH(bool, attributes);
    QFETCH(bool, index);
    QFETCH(QString, after);
    QTemporaryDir dir;
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QString source = QDir(dir.path()).filePath("a $ source.avi");
    QVERIFY(write(source, QByteArray(200000, 'x')));
    QVERIFY(QDir(dir.path()).mkdir("out"));
    const QString output = QDir(dir.path()).filePath("out/clip.3gp");
    const QString neighbour = QDir(dir.path()).filePath("out/other.3gp");
    QVERIFY(write(output, "made") && write(neighbour, "made too"));
    AttributeCalls calls;
    if (!attributes) {
        calls.setxattr = NoAttributes;
        calls.getxattr = NoAttributesToRead;
    }
    const Result<SourceIdentity> identity = SourceIdentity::Of(source, "type=1");
    QVERIFY(identity);
    QCOMPARE(bool(RecordSource(output, *identity, index, calls)), attributes || index);
    QCOMPARE(bool(RecordSource(neighbour, *SourceIdentity::Of(output, "type=1"), index, calls)),
             attributes || index);
    if (after == "replace output") {
        QVERIFY(QFile::remove(output) && write(output, "another file"));
    } else if (after == "edit source") {
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(source).constData(), &before), 0);
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(199990) && file.write("y") == 1);
        file.close();
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
    }
    const std::optional<SourceIdentity> recorded = RecordedSource(output, calls);
    const Result<SourceIdentity> now = SourceIdentity::Of(source, "type=1");
    QVERIFY(now);
    const QString found = !recorded ? "none" : recorded->IsSameAs(*now) ? "same" : "other";
    QTEST(found, "found");
    QCOMPARE(QFileInfo::exists(QDir(dir.path()).filePath("out/.morvane-sources")),
             !attributes && index);
}

QTEST_GUILESS_MAIN(TestFilePlacement)
#include "tst_file_placement.moc"
