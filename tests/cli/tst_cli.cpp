// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliTestSupport.h"
#include "MediaFixtures.h"
#include "ProcessStates.h"
#include "engine/ErrorLog.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// morvane-cli's options, messages and exit codes, its Stop, and the files it leaves.
class TestCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void usageErrors_data();
    void usageErrors();
    void helpAndProfileList();
    void unreadableFilesAreRefused_data();
    void unreadableFilesAreRefused();
    void oddFileNamesConvert_data();
    void oddFileNamesConvert();
    void nameThatIsNotUtf8Converts();
    void sameFileTwiceGivesTwoFiles();
    void defaultOutputDirectory_data();
    void defaultOutputDirectory();
    void missingOutputDirectory();
    void sharedOutputFolder_data();
    void sharedOutputFolder();
    void fileListsShardsAndJson();
    void fullDiskIsAFailure();
    void userProfilesReplaceShipped_data();
    void userProfilesReplaceShipped();
    void unwritableLogGoesToStandardError();
    void encoderProblemsAreNamed_data();
    void encoderProblemsAreNamed();
    void stopLeavesNoPartialFile_data();
    void stopLeavesNoPartialFile();
    void outputThatGoesAway_data();
    void outputThatGoesAway();

private:
    QString Out() const { return outDir->path(); }
    // What the output folder holds, a work folder included.
    QStringList OutFiles() const {
        return QDir(Out()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden |
                                     QDir::NoDotAndDotDot);
    }

    QTemporaryDir fixtureDir;
    std::optional<MediaFixtures> fixtures;
    QString videoClip;
    QString soundClip;
    std::unique_ptr<QTemporaryDir> outDir;
};

namespace {

// Puts a profile file of the user's own for 3GP + AAC into configHome, as a user who copied and
// edited the shipped one would.
bool WriteUserAacProfile(const QString& configHome, const QString& title, const QString& command) {
    const QDir profiles(QDir(configHome).filePath("Morvane/Morvane/profiles"));
    QFile file(profiles.filePath("3GP_AAC_Profile.ini"));
    return profiles.mkpath(".") && file.open(QIODevice::WriteOnly) &&
           file.write(("[Info]\nDescription=Mine\nDefaultProfile=1\n[Own]\nTitle=" + title +
                       "\nCommand=" + command + "\n")
                          .toUtf8()) > 0;
}

} // namespace

void TestCli::initTestCase() {
    fixtures.emplace(fixtureDir.path());
    videoClip = fixtures->Make("avi");
    soundClip = fixtures->Make("wav");
    QVERIFY2(!videoClip.isEmpty() && !soundClip.isEmpty(), qPrintable(fixtures->LastError()));
}

void TestCli::init() {
    outDir = std::make_unique<QTemporaryDir>();
}

void TestCli::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QStringList{"-t", "1"} << "no file to convert";
    QTest::newRow("unknown option") << QStringList{"--fast", "x.avi"} << "Unknown option";
    QTest::newRow("type out of range") << QStringList{"-t", "3", "x.avi"} << "0, 1 or 2";
    QTest::newRow("type not a number") << QStringList{"--type", "amr", "x.avi"} << "0, 1 or 2";
    QTest::newRow("profile 0") << QStringList{"-p", "0", "x.avi"} << "number from 1";
    QTest::newRow("profile past the file")
        << QStringList{"-t", "2", "-p", "9", "x.avi"} << "has no profile 9";
    QTest::newRow("negative begin") << QStringList{"-b", "-1", "x.avi"} << "begin";
    QTest::newRow("end not a number") << QStringList{"--end", "soon", "x.avi"} << "end";
    QTest::newRow("end before begin")
        << QStringList{"-b", "2", "-e", "1", "x.avi"} << "after the begin";
    QTest::newRow("too many jobs") << QStringList{"-j", "9", "x.avi"} << "from 1 to 8";
    QTest::newRow("jobs not a number") << QStringList{"--jobs", "two", "x.avi"} << "or auto";
    QTest::newRow("missing option value") << QStringList{"x.avi", "-o"} << "Missing value";
    QTest::newRow("verbose and quiet") << QStringList{"-v", "-q", "x.avi"} << "exclude each other";
    QTest::newRow("shard past its count") << QStringList{"--shard", "3/3", "x.avi"} << "K/N";
    QTest::newRow("fit size without a number")
        << QStringList{"--fit", "MMS", "x.avi"} << "such as 300K";
}

void TestCli::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const CliTest::Run run = CliTest::RunCli(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

void TestCli::helpAndProfileList() {
    const CliTest::Run help = CliTest::RunCli({"--help"});
    QCOMPARE(help.exitCode, 0);
    for (const char* option :
         {"--type", "--profile", "--output-dir", "--begin", "--end", "--jobs", "--list-profiles",
          "--help", "FILE...", "SIGUSR1", "GNU General Public License"})
        QVERIFY2(help.out.contains(option), option);
    // What the help advertises works, as every program's does.
    for (const char* option : {"--help-all", "--version"}) {
        const CliTest::Run run = CliTest::RunCli({option});
        QVERIFY2(run.exitCode == 0 && !run.out.isEmpty(), option);
    }

    const CliTest::Run list = CliTest::RunCli({"--list-profiles"});
    QCOMPARE(list.exitCode, 0);
    QVERIFY(list.out.contains("0: Cell Phone 3GP  files (3GP + AMR)\n"));
    QVERIFY(list.out.contains("1: Cell Phone 3GP  files (3GP + AAC)\n"));
    QVERIFY(list.out.contains("2: Cell Phone 3GP2 files (3GP2 + AAC)\n"));
    QCOMPARE(list.out.count(" * "), 3); // one default per type
}

void TestCli::unreadableFilesAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "-" for a file that does not exist
    QTest::addColumn<bool>("withGoodFile");
    QTest::addColumn<QString>("message");
    QTest::newRow("text file") << "notes.avi" << QByteArray("just some words\n") << false
                               << "not a video or audio file";
    QTest::newRow("empty file") << "empty.wav" << QByteArray() << false << "empty";
    QTest::newRow("missing file") << "gone.mpg" << QByteArray("-") << false << "does not exist";
    // A reader of a named pipe would wait for ever.
    QTest::newRow("named pipe") << "pipe.avi" << QByteArray("|") << false
                                << "is a named pipe (FIFO), not a regular file";
    QTest::newRow("beside a good file")
        << "notes.avi" << QByteArray("words") << true << "not a video or audio file";
}

void TestCli::unreadableFilesAreRefused() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, withGoodFile);
    QTemporaryDir sources;
    const QString path = QDir(sources.path()).filePath(name);
    if (content == "|") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (content != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QStringList args{"-o", Out(), path};
    if (withGoodFile)
        args.append(soundClip);
    const CliTest::Run run = CliTest::RunCli(args);
    QCOMPARE(run.exitCode, 1);
    QFETCH(QString, message);
    QVERIFY2(run.err.contains("cannot open " + path) && run.err.contains(message),
             qPrintable(run.err));
    // The good file is converted all the same; nothing else is written.
    QCOMPARE(OutFiles(), withGoodFile ? QStringList{"clip.3gp"} : QStringList{});
    QCOMPARE(run.out.contains("Converting Finished"), withGoodFile);
}

void TestCli::oddFileNamesConvert_data() {
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("extension");
    QTest::newRow("blanks") << "my holiday  clip"
                            << "avi";
    QTest::newRow("quotes") << "it's \"the\" clip"
                            << "wav";
    QTest::newRow("dollar and variables") << "$INPUT_FILE $OUTPUT_DIR $5"
                                          << "avi";
    QTest::newRow("leading dash") << "-y -i clip"
                                  << "wav";
    QTest::newRow("non-ASCII") << "\u00fcn\u00efc\u00f6d\u00e9 \u65e5\u672c"
                               << "avi";
    QTest::newRow("emoji and U+FEFF") << "\ufeff\U0001F4F7 clip\ufeff \U0001F480\U00020000"
                                      << "avi";
    // Shown escaped, as in log.txt: the name can neither forge a line nor drive the terminal.
    QTest::newRow("control characters") << "clip\nConverting Finished\x1b[2J"
                                        << "wav";
}

void TestCli::oddFileNamesConvert() {
    QFETCH(QString, baseName);
    QFETCH(QString, extension);
    QTemporaryDir sources;
    const QString path = QDir(sources.path()).filePath(baseName + '.' + extension);
    QVERIFY(QFile::copy(extension == "avi" ? videoClip : soundClip, path));
    const CliTest::Run run = CliTest::RunCli({"-v", "-t", "1", "-o", Out(), path});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    const QString shown = "[1/1] " + EscapeForLog(baseName + '.' + extension) + ": ";
    for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith(shown) || line == "Converting Finished", qPrintable(line));
    QVERIFY(!run.out.contains(QChar(0x1b)));
    // -v: the encoder's own lines, which name the file too, each after its job, escaped.
    QVERIFY2(run.err.contains("[1/1] Input #0, "), qPrintable(run.err));
    for (const QString& line : run.err.split(u'\n', Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith("[1/1] "), qPrintable(line));
    QVERIFY(!run.err.contains(QChar(0x1b)));
    QCOMPARE(OutFiles(), QStringList{baseName + ".3gp"});
    const QString output = QDir(Out()).filePath(baseName + ".3gp");
    QCOMPARE(CliTest::CodecOf(CliTest::Probe(output), "audio"), QStringLiteral("aac"));
    QCOMPARE(CliTest::DecodeErrors(output), QString());
}

// A name whose bytes are not UTF-8 (an old Latin-1 file) converts, keeps its bytes in the
// output's name, and is shown with a replacement character.
void TestCli::nameThatIsNotUtf8Converts() {
    QTemporaryDir sources;
    // QTemporaryDir removes by QString names, which lose these bytes: the files go by their
    // bytes first, whatever the outcome.
    struct RemoveByBytes {
        QStringList folders;
        ~RemoveByBytes() {
            for (const QString& folder : folders) {
                std::error_code ignored;
                for (const auto& entry :
                     std::filesystem::directory_iterator(folder.toStdString(), ignored))
                    std::filesystem::remove_all(entry.path(), ignored);
            }
        }
    } removeByBytes{{sources.path(), Out()}};
    const std::filesystem::path name = std::string("caf\xe9 clip.avi");
    std::filesystem::copy_file(videoClip.toStdString(),
                               std::filesystem::path(sources.path().toStdString()) / name);
    // The shell hands the name over as its bytes (a QString argument could not).
    const CliTest::Run run =
        CliTest::RunProgram("/bin/sh", {"-c", "cd \"$1\" && exec \"$2\" -t 1 -o \"$3\" *.avi", "sh",
                                        sources.path(), CliTest::CliPath(), Out()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QString("caf\ufffd clip.avi: Finished")), qPrintable(run.out));
    QStringList written;
    for (const auto& entry : std::filesystem::directory_iterator(Out().toStdString()))
        written.append(QString::fromLatin1(entry.path().filename().string().c_str()));
    QCOMPARE(written, QStringList{QString::fromLatin1("caf\xe9 clip.3gp")});
}

void TestCli::sameFileTwiceGivesTwoFiles() {
    const CliTest::Run run =
        CliTest::RunCli({"-o", Out(), "-b", "0", "-e", "1", soundClip, soundClip});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QCOMPARE(OutFiles(), (QStringList{"clip (2).3gp", "clip.3gp"}));
    QCOMPARE(run.out.count(": Finished\n"), 2);
}

void TestCli::defaultOutputDirectory_data() {
    QTest::addColumn<bool>("stored");
    QTest::newRow("the stored output directory") << true;
    QTest::newRow("the Videos folder when none is stored") << false;
}

void TestCli::defaultOutputDirectory() {
    QFETCH(bool, stored);
    QTemporaryDir home;
    const QDir homeDir(home.path());
    QVERIFY(homeDir.mkpath("config/Morvane") && homeDir.mkpath("Videos") &&
            homeDir.mkpath("stored out"));
    if (stored) {
        QFile conf(homeDir.filePath("config/Morvane/Morvane.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(("[destination]\nDefault=" + homeDir.filePath("stored out") + "\n").toUtf8());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", homeDir.filePath("config"));
    const CliTest::Run run = CliTest::RunCli({"-e", "1", soundClip}, env);
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    const QString expected = homeDir.filePath(stored ? "stored out" : "Videos");
    QCOMPARE(QDir(expected).entryList(QDir::Files), QStringList{"clip.3gp"});
}

// A folder named with -o is made, parents and all, as a script expects; it says so.
void TestCli::missingOutputDirectory() {
    const QString missing = QDir(Out()).filePath("not here/phone");
    const CliTest::Run run = CliTest::RunCli({"-t", "1", "-o", missing, soundClip});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.err.contains("made the output directory"), qPrintable(run.err));
    QVERIFY(QFileInfo::exists(QDir(missing).filePath("clip.3gp")));
}

void TestCli::sharedOutputFolder_data() {
    QTest::addColumn<QStringList>("before"); // a run into the folder first; empty: none
    // A: a/clip.avi, B: b/clip.wav, BASE: their folders' folder, WORK: a work folder
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("files"); // what the output folder holds then
    QTest::addColumn<QString>("said");      // on standard output or error
    // A work folder on a local disk (a tmpfs where there is one: another file system).
    QTest::newRow("work folder elsewhere")
        << QStringList() << QStringList{"--work-dir", "WORK", "A", "A"} << 0
        << QStringList{"clip (2).3gp", "clip.3gp"} << "saved as clip (2).3gp";
    // --skip-existing skips only a file made from the same source: two different clip.* files
    // never share one output.
    QTest::newRow("skip-existing, the same source again")
        << QStringList{"A"} << QStringList{"--skip-existing", "A"} << 0 << QStringList{"clip.3gp"}
        << "clip.3gp already exists, made from this source";
    QTest::newRow("skip-existing, another source of the name")
        << QStringList{"A"} << QStringList{"--skip-existing", "B"} << 0
        << QStringList{"clip (2).3gp", "clip.3gp"}
        << "saved as clip (2).3gp: clip.3gp is not known to be made from this source";
    // A file fitted into a size is not the file made at the profile's rates.
    QTest::newRow("skip-existing, the same source fitted into a size")
        << QStringList{"A"} << QStringList{"--skip-existing", "--fit", "1M", "A"} << 0
        << QStringList{"clip (2).3gp", "clip.3gp"}
        << "saved as clip (2).3gp: clip.3gp is not known to be made from this source";
    // A run again over both (a retried array task) converts neither.
    QTest::newRow("skip-existing, a numbered file of the same source")
        << QStringList{"A", "B"} << QStringList{"--skip-existing", "--json", "B", "A"} << 0
        << QStringList{"clip (2).3gp", "clip.3gp"} << "\"skipped\":2";
    QTest::newRow("keep-folders mirrors the folders")
        << QStringList() << QStringList{"--keep-folders", "BASE", "A", "B"} << 0
        << QStringList{"a/clip.3gp", "b/clip.3gp"} << "Converting Finished";
    QTest::newRow("keep-folders, a file outside")
        << QStringList() << QStringList{"--keep-folders", "BASE/a", "A", "B"} << 1
        << QStringList{"clip.3gp"} << "b/clip.wav: it is not inside the folder";
}

// Runs of several folders meet in one output folder: nothing is lost, nothing is replaced.
void TestCli::sharedOutputFolder() {
    QFETCH(QStringList, before);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QTemporaryDir sources;
    const QDir base(sources.path());
    QVERIFY(base.mkpath("a") && base.mkpath("b"));
    QVERIFY(QFile::copy(videoClip, base.filePath("a/clip.avi")));
    QVERIFY(QFile::copy(soundClip, base.filePath("b/clip.wav")));
    // /dev/shm is a tmpfs, the build folder most often not.
    QTemporaryDir work(QFileInfo("/dev/shm").isWritable() ? "/dev/shm/morvane-test-XXXXXX"
                                                          : QString());
    const auto expand = [&](QStringList list) {
        list.replaceInStrings(QRegularExpression("^A$"), base.filePath("a/clip.avi"));
        list.replaceInStrings(QRegularExpression("^B$"), base.filePath("b/clip.wav"));
        list.replaceInStrings(QRegularExpression("^WORK$"), work.path());
        list.replaceInStrings(QRegularExpression("^BASE"), base.path());
        return QStringList{"-t", "1", "-e", "1", "-o", Out()} + list;
    };
    if (!before.isEmpty())
        QCOMPARE(CliTest::RunCli(expand(before)).exitCode, 0);
    const CliTest::Run run = CliTest::RunCli(expand(args));
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    QFETCH(QString, said);
    QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
    QStringList files;
    for (QDirIterator it(Out(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        files.append(QDir(Out()).relativeFilePath(it.next()));
    files.sort();
    QTEST(files, "files");
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

// A list with settings and NUL separators, split over three runs by --shard into one folder:
// every entry is converted (or refused) by exactly one run, with its own range and type, and
// --json says so line by line, a failed job with its reason.
void TestCli::fileListsShardsAndJson() {
    QTemporaryDir lists;
    const QString junk = QDir(lists.path()).filePath("notes.avi");
    QFile junkFile(junk);
    QVERIFY(junkFile.open(QIODevice::WriteOnly) && junkFile.write("just words\n") > 0);
    junkFile.close();
    QFile list(QDir(lists.path()).filePath("list"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(QFile::encodeName(videoClip) + "\tbegin=0.5\tend=1.5" + '\0');
    list.write(QFile::encodeName(soundClip) + "\ttype=2" + '\0');
    list.write(QFile::encodeName(junk) + '\0');
    list.close();

    QMap<QString, QJsonObject> ended; // by source, over every run
    for (int k = 0; k < 3; ++k) {
        const CliTest::Run run =
            CliTest::RunCli({"--files-from", list.fileName(), "-0", "--shard",
                             QString("%1/3").arg(k), "--json", "-t", "1", "-o", Out()});
        QVERIFY2(!run.out.contains("Converting Finished"), qPrintable(run.out)); // on stderr
        for (const QString& line : run.out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(!event.isEmpty(), qPrintable(line));
            const QString kind = event.value("event").toString();
            if (kind == "finished" || kind == "unreadable" || kind == "failed") {
                QVERIFY2(!ended.contains(event.value("source").toString()), qPrintable(line));
                ended.insert(event.value("source").toString(), event);
            }
        }
    }
    QCOMPARE(ended.size(), 3);
    const QJsonObject video = ended.value(videoClip);
    QCOMPARE(video.value("event").toString(), QString("finished"));
    QCOMPARE(video.value("begin").toDouble(), 0.5);
    QCOMPARE(video.value("end").toDouble(), 1.5);
    const QString videoOut = video.value("output").toString();
    QVERIFY(videoOut.endsWith("clip.3gp"));
    QCOMPARE(qint64(video.value("size").toDouble()), QFileInfo(videoOut).size());
    const double length =
        CliTest::Probe(videoOut).value("format").toObject().value("duration").toString().toDouble();
    QVERIFY2(qAbs(length - 1.0) < 0.2, qPrintable(QString::number(length)));
    QVERIFY(ended.value(soundClip).value("output").toString().endsWith("clip.3g2"));
    QCOMPARE(ended.value(junk).value("event").toString(), QString("unreadable"));

    // A job that fails (a file size limit stands in for a full disk) names its reason.
    const QString prlimit = QStandardPaths::findExecutable("prlimit");
    if (prlimit.isEmpty())
        QSKIP("prlimit is not installed");
    const CliTest::Run failed =
        CliTest::RunProgram(prlimit, {"--fsize=20000", CliTest::CliPath(), "--json", "-t", "1",
                                      "-o", QDir(Out()).filePath("full"), videoClip});
    QCOMPARE(failed.exitCode, 1);
    const QStringList lines = failed.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 3);
    const QJsonObject job = QJsonDocument::fromJson(lines.at(lines.size() - 2).toUtf8()).object();
    QCOMPARE(job.value("event").toString(), QString("failed"));
    QVERIFY(!job.value("reason").toString().isEmpty());
    QVERIFY(!job.contains("output"));
    const QJsonObject batch = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    QCOMPARE(batch.value("failed").toInt(), 1);
    QCOMPARE(batch.value("exit_code").toInt(), 1);
}

// A disk that fills up mid-file (a file size limit stands in for it) gives a failed job and
// no file, never " Finished ".
void TestCli::fullDiskIsAFailure() {
    const QString prlimit = QStandardPaths::findExecutable("prlimit");
    if (prlimit.isEmpty())
        QSKIP("prlimit is not installed");
    const CliTest::Run run = CliTest::RunProgram(
        prlimit, {"--fsize=20000", CliTest::CliPath(), "-t", "1", "-o", Out(), videoClip});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.contains("clip.avi: Failed\n"), qPrintable(run.out));
    QVERIFY2(run.err.contains("1 of 1 jobs failed"), qPrintable(run.err));
    QCOMPARE(OutFiles(), QStringList());
}

void TestCli::userProfilesReplaceShipped_data() {
    QTest::addColumn<bool>("userFile");
    QTest::newRow("shipped only") << false;
    QTest::newRow("user's own file") << true;
}

// A profile file in the user's config folder wins over the shipped one of the same name; the
// other types keep the shipped files.
void TestCli::userProfilesReplaceShipped() {
    QFETCH(bool, userFile);
    QTemporaryDir config;
    if (userFile)
        QVERIFY(WriteUserAacProfile(config.path(), "My phone", "ffmpeg -i $INPUT_FILE x.3gp"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", config.path());
    const CliTest::Run list = CliTest::RunCli({"--list-profiles"}, env);
    QCOMPARE(list.exitCode, 0);
    const QString aac =
        list.out.section("1: Cell Phone 3GP  files (3GP + AAC)\n", 1).section("\n2: ", 0, 0);
    QCOMPARE(aac == " * 1. My phone", userFile);
    QVERIFY2(list.out.contains("\n   1. Small: H.263 128x96"), qPrintable(list.out)); // 3GP + AMR
    QVERIFY2(list.out.contains("\n2: Cell Phone 3GP2 files (3GP2 + AAC)\n   1. Compatible"),
             qPrintable(list.out));
    // A profile that the file in use lacks is reported with that file's whole path.
    const CliTest::Run missing = CliTest::RunCli({"-t", "1", "-p", "9", "x.avi"}, env);
    QCOMPARE(missing.exitCode, 2);
    const QString used = userFile ? QDir(config.path()).filePath("Morvane/Morvane/profiles")
                                  : QDir(TestPaths::ProgramDir()).filePath("app");
    QVERIFY2(missing.err.contains(used + "/3GP_AAC_Profile.ini has no profile 9"),
             qPrintable(missing.err));
}

// With nowhere to write log.txt (a home that is no folder), a failed job's entry, the
// encoder's last lines included, goes to standard error with its time, and the message at the
// end sends the user there.
void TestCli::unwritableLogGoesToStandardError() {
    QTemporaryDir config;
    QVERIFY(
        WriteUserAacProfile(config.path(), "Broken",
                            "sh -c \"echo encoder says: no sound today >&2; exit 1\" $INPUT_FILE"));
    const QString home = QDir(config.path()).filePath("home");
    QFile homeFile(home);
    QVERIFY(homeFile.open(QIODevice::WriteOnly));
    homeFile.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.remove("XDG_DATA_HOME");
    env.remove("XDG_CACHE_HOME");
    env.insert("XDG_CONFIG_HOME", config.path());
    const CliTest::Run run = CliTest::RunCli({"-t", "1", "-o", Out(), soundClip}, env);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("log.txt could not be written"), qPrintable(run.err));
    static const QRegularExpression entry(QStringLiteral(
        "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d FAILED:  source"));
    QVERIFY2(run.err.contains(entry), qPrintable(run.err));
    QVERIFY2(run.err.contains("encoder says: no sound today"), qPrintable(run.err));
    QVERIFY2(run.err.contains("1 of 1 jobs failed; see standard error ("), qPrintable(run.err));
}

void TestCli::encoderProblemsAreNamed_data() {
    QTest::addColumn<QString>("fakeEncoder"); // a script put beside the program as "ffmpeg"
    QTest::addColumn<QString>("path");        // the PATH the program runs with
    QTest::addColumn<QString>("message");
    // An ffmpeg built without the optional AMR library.
    QTest::newRow("no AMR encoder")
        << "#!/bin/sh\n/usr/bin/ffmpeg \"$@\" | grep -v amrnb\n"
        << qEnvironmentVariable("PATH")
        << "needs the encoder \"libopencore_amrnb\", which the installed ffmpeg does not "
           "have. Install the package libavcodec-extra";
    QTest::newRow("no ffmpeg at all")
        << QString() << "/nonexistent"
        << "The encoder program \"ffmpeg\" cannot be found. Install it (on Debian: sudo apt "
           "install ffmpeg libavcodec-extra).";
}

// A profile the installed encoder cannot make is marked in the list and refused with the way
// to fix it; nothing runs.
void TestCli::encoderProblemsAreNamed() {
    QFETCH(QString, fakeEncoder);
    QFETCH(QString, path);
    QFETCH(QString, message);
    QTemporaryDir program;
    QVERIFY(QFile::copy(CliTest::CliPath(), CliTest::CliPath(program.path())));
    QVERIFY(QFile::copy(QDir(TestPaths::ProgramDir()).filePath("app/3GP_AMR_Profile.ini"),
                        QDir(program.path()).filePath("3GP_AMR_Profile.ini")) &&
            QDir(program.path()).mkpath("app") &&
            QFile::rename(QDir(program.path()).filePath("3GP_AMR_Profile.ini"),
                          QDir(program.path()).filePath("app/3GP_AMR_Profile.ini")));
    if (!fakeEncoder.isEmpty()) {
        QFile script(QDir(program.path()).filePath("ffmpeg"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(fakeEncoder.toUtf8());
        script.close(); // a file open for writing cannot be run
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", path);
    QTemporaryDir home; // its cache and log, apart from the output folder
    env.insert("HOME", home.path());

    if (!fakeEncoder.isEmpty()) {
        const CliTest::Run list =
            CliTest::RunProgram(CliTest::CliPath(program.path()), {"--list-profiles"}, env);
        QCOMPARE(list.out.count(message), 4); // every AMR profile
    }
    const CliTest::Run run = CliTest::RunProgram(CliTest::CliPath(program.path()),
                                                 {"-t", "0", "-o", Out(), videoClip}, env);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(OutFiles(), QStringList());
}

void TestCli::stopLeavesNoPartialFile_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("stopAt");      // the progress text after which the signal comes
    QTest::addColumn<QString>("partialFile"); // what the held pass is writing
    QTest::addColumn<int>("signal");
    QTest::newRow("first pass") << 0 << "00:00:0"
                                << "clip.3gp" << SIGINT;
    QTest::newRow("second pass of 3gp2") << 2 << "Exporting"
                                         << "clip_temp_2.3g2" << SIGINT;
    QTest::newRow("terminal closed") << 0 << "00:00:0"
                                     << "clip.3gp" << SIGHUP;
    QTest::newRow("killed") << 0 << "00:00:0"
                            << "clip.3gp" << SIGKILL;
    // Ctrl+Z suspends the encoder with the program, `fg` resumes both.
    QTest::newRow("suspended and resumed") << 0 << "00:00:0"
                                           << "clip.3gp" << SIGTSTP;
    // Ctrl+Z and a SIGCONT that come together (a script, a supervisor): whichever the program
    // sees first, it ends running and so do its encoders.
    QTest::newRow("suspended and resumed at once") << 0 << "00:00:0"
                                                   << "clip.3gp" << SIGCONT;
    // SIGUSR1: the running job finishes, the next one never starts.
    QTest::newRow("stop after the current job") << 0 << "00:00:0"
                                                << "clip.3gp" << SIGUSR1;
}

using ProcessStates::ProcessesNaming;
using ProcessStates::StateOf;

namespace {

// A named pipe that the held pass reads its source from: the pass cannot end before the test
// has written all of the source and closed the pipe, however slow the machine is.
class SourceFeed {
public:
    SourceFeed(const QString& path, QByteArray source)
        : path(QFile::encodeName(path)), source(std::move(source)) {
        made = ::mkfifo(this->path.constData(), 0600) == 0;
    }
    ~SourceFeed() { Close(); }
    bool IsMade() const { return made; }
    // Opens the writing end once the encoder has opened the reading end.
    bool Open() {
        if (fd < 0)
            fd = ::open(path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0;
    }
    // Writes what the pipe takes of the source up to `end`; true once all of it is written.
    bool WriteUpTo(qsizetype end) {
        // An encoder gone early makes a failure here, not a SIGPIPE that ends the test.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        sigset_t mask;
        ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &mask);
        while (fd >= 0 && written < end) {
            const ssize_t n = ::write(fd, source.constData() + written, end - written);
            if (n <= 0)
                break;
            written += n;
        }
        const timespec now{};
        while (::sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
        }
        ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        return written >= end;
    }
    bool WriteAll() { return WriteUpTo(source.size()); }
    // All but the end: the encoder has most of the source and waits for the rest.
    bool WriteMost() { return WriteUpTo(source.size() * 9 / 10); }
    void Close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

private:
    QByteArray path;
    QByteArray source;
    bool made = false;
    int fd = -1;
    qsizetype written = 0;
};

} // namespace

// A copy of the program with profiles whose stopped pass reads its source from a pipe the test
// holds: each state the signal needs (the pass writing its file, a progress line printed) is
// waited for, and the pass cannot end on its own meanwhile.
void TestCli::stopLeavesNoPartialFile() {
    QFETCH(int, type);
    QFETCH(QString, stopAt);
    QFETCH(QString, partialFile);
    QFETCH(int, signal);
    // Noise makes the encoder's file grow at once, so that its size shows in the progress.
    const QString noisyClip = fixtures->MakeWith(
        "noise.avi",
        {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2,noise=alls=100:allf=t+u",
         "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2", "-c:v", "mpeg4",
         "-q:v", "2", "-c:a", "libmp3lame", "-f", "avi"});
    QVERIFY2(!noisyClip.isEmpty(), qPrintable(fixtures->LastError()));
    QFile noisy(noisyClip);
    QVERIFY(noisy.open(QIODevice::ReadOnly));
    QTemporaryDir program;
    SourceFeed feed(QDir(program.path()).filePath("feed"), noisy.readAll());
    QVERIFY(feed.IsMade());
    QVERIFY(QDir(program.path()).mkpath("app"));
    QVERIFY(QFile::copy(CliTest::CliPath(), CliTest::CliPath(program.path())));
    // The source file is a second input: with two inputs the encoder reads each in a thread of
    // its own, so it goes on printing progress and hearing "q" while the pipe is empty.
    const QString held =
        "ffmpeg -hide_banner -y -f avi -i \"" + program.path() +
        "/feed\" -i \"$INPUT_FILE\" -map 0 -t $LENGTH -s 176x144 -r 15 "
        "-c:v mpeg4 -q:v 2 -c:a %1 -ar 8000 -ac 1 -f %2 \"$OUTPUT_DIR$OUTPUT_FILE%3\"\n";
    QFile amr(QDir(program.path()).filePath("app/3GP_AMR_Profile.ini"));
    QVERIFY(amr.open(QIODevice::WriteOnly));
    amr.write(("[Info]\nDefaultProfile=1\n[Slow]\nTitle=Slow\nCommand=" +
               held.arg("libopencore_amrnb", "3gp", ".3gp"))
                  .toUtf8());
    amr.close();
    QFile aac(QDir(program.path()).filePath("app/3GP2_AAC_Profile.ini"));
    QVERIFY(aac.open(QIODevice::WriteOnly));
    aac.write(("[Info]\nDefaultProfile=1\n[Slow]\nTitle=Slow\nEncode=ffmpeg -y -i \"$INPUT_FILE\" "
               "-t $LENGTH -s 176x144 -c:v mpeg4 -c:a aac -ar 8000 -ac 1 -f 3gp "
               "\"$OUTPUT_DIR$OUTPUT_FILE_temp.3gp\"\nRewrap=" +
               held.arg("aac", "3g2", "_temp_2.3g2") +
               "Note=-\nFinish=ffmpeg -y -i \"$OUTPUT_DIR$OUTPUT_FILE_temp_2.3g2\" -c copy -f 3g2 "
               "\"$OUTPUT_DIR$OUTPUT_FILE.3g2\"\n")
                  .toUtf8());
    aac.close();

    QProcess cli;
    QStringList args{"-t", QString::number(type), "-o", Out(), videoClip};
    if (signal == SIGUSR1)
        args << "-j"
             << "1" << soundClip; // one job at a time: the second waits
    cli.start(CliTest::CliPath(program.path()), args);
    QVERIFY(cli.waitForStarted());
    QByteArray out;
    const auto printed = [&cli, &out](const QString& text) {
        out += cli.readAllStandardOutput();
        return out.contains(text.toUtf8());
    };
    // Generous deadlines: a sanitized build on a busy machine is many times slower.
    constexpr int Deadline = 120000;
    QTRY_VERIFY_WITH_TIMEOUT(feed.Open(), Deadline);
    QTRY_VERIFY_WITH_TIMEOUT(feed.WriteMost(), Deadline);
    QTRY_VERIFY2_WITH_TIMEOUT(printed(stopAt), out.constData(), Deadline);
    // The signal comes once the pass has begun its file, in the batch's work folder: nothing
    // half written ever has the final name.
    const auto partial = [this, &partialFile] {
        const QStringList work =
            QDir(Out()).entryList({".morvane-work-*"}, QDir::Dirs | QDir::Hidden);
        return work.isEmpty() ? QString()
                              : QDir(Out()).filePath(work.first() + "/0/" + partialFile);
    };
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(partial()), Deadline);
    QVERIFY(!QFile::exists(QDir(Out()).filePath(partialFile)));
    const auto cliPid = static_cast<pid_t>(cli.processId());
    if (signal == SIGTSTP) {
        QList<int> encoders = ProcessesNaming(Out());
        encoders.removeAll(int(cliPid)); // its arguments name the folder too
        QCOMPARE(encoders.size(), 1);
        ::kill(cliPid, SIGTSTP);
        QTRY_COMPARE_WITH_TIMEOUT(StateOf(encoders[0]), 'T', Deadline);
        QTRY_COMPARE_WITH_TIMEOUT(StateOf(cliPid), 'T', Deadline);
        ::kill(cliPid, SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(StateOf(encoders[0]) != 'T', Deadline);
        // Resumed, the job goes on to its end.
        QTRY_VERIFY_WITH_TIMEOUT(feed.WriteAll(), Deadline);
        feed.Close();
        QVERIFY(cli.waitForFinished(Deadline));
        out += cli.readAllStandardOutput();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(out.contains("clip.avi: Finished\n"), out.constData());
        QCOMPARE(OutFiles(), QStringList{"clip.3gp"});
        return;
    }
    if (signal == SIGCONT) {
        QList<int> encoders = ProcessesNaming(Out());
        encoders.removeAll(int(cliPid));
        QCOMPARE(encoders.size(), 1);
        for (int i = 0; i < 20; ++i) {
            ::kill(cliPid, SIGTSTP);
            ::kill(cliPid, SIGCONT);
        }
        // The batch goes on: it converts the rest of its source once that comes.
        QTRY_VERIFY_WITH_TIMEOUT(feed.WriteAll(), Deadline);
        feed.Close();
        QVERIFY2(cli.waitForFinished(Deadline), "the batch was left stopped");
        out += cli.readAllStandardOutput();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(out.contains("clip.avi: Finished\n"), out.constData());
        QCOMPARE(OutFiles(), QStringList{"clip.3gp"});
        return;
    }
    if (signal == SIGUSR1) {
        ::kill(cliPid, SIGUSR1);
        QTRY_VERIFY2_WITH_TIMEOUT(printed("Stopping after the running jobs\n"), out.constData(),
                                  Deadline);
        QTRY_VERIFY_WITH_TIMEOUT(feed.WriteAll(), Deadline);
        feed.Close();
        QVERIFY(cli.waitForFinished(Deadline));
        out += cli.readAllStandardOutput();
        QCOMPARE(cli.exitCode(), 130);
        QVERIFY2(out.contains("clip.avi: Finished\n"), out.constData());
        QCOMPARE(OutFiles(), QStringList{"clip.3gp"});
        return;
    }
    // The pass is held until the program has stopped: it ends by the program's hand alone.
    ::kill(cliPid, signal);
    QVERIFY(cli.waitForFinished(Deadline));
    feed.Close();
    out += cli.readAllStandardOutput();
    // No encoder outlives the program, however it ends.
    QTRY_COMPARE_WITH_TIMEOUT(ProcessesNaming(Out()), QList<int>(), Deadline);
    if (signal == SIGKILL) {
        // Only the hidden work folder can be left; the next run in that folder removes it.
        QCOMPARE(OutFiles().size(), 1);
        QVERIFY(OutFiles().first().startsWith(".morvane-work-"));
        const CliTest::Run again = CliTest::RunCli({"-t", "1", "-o", Out(), soundClip});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(OutFiles(), QStringList{"clip.3gp"});
        return;
    }
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 130);
    QVERIFY2(out.contains("clip.avi: Canceled\n"), out.constData());
    QVERIFY(out.endsWith("Converting Finished\n"));
    QCOMPARE(OutFiles(), QStringList());
}

void TestCli::outputThatGoesAway_data() {
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("reason");
    QTest::newRow("reader quits after a line (| head -1)") << false << "Broken pipe";
    QTest::newRow("full disk") << true << "No space left on device";
}

// Standard output that fails is said on stderr and in the exit code; the batch goes on to its
// end and leaves whole files.
void TestCli::outputThatGoesAway() {
    QFETCH(bool, fullDisk);
    // bash tells the program's own end (141 for SIGPIPE).
    const QString line = fullDisk ? "\"$0\" \"$@\" >/dev/full; exit $?"
                                  : "\"$0\" \"$@\" | head -1; exit \"${PIPESTATUS[0]}\"";
    const CliTest::Run run =
        CliTest::RunProgram("/bin/bash", {"-c", line, CliTest::CliPath(), "-t", "1", "-o", Out(),
                                          videoClip, soundClip});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out.count(u'\n'), fullDisk ? 0 : 1);
    QFETCH(QString, reason);
    QVERIFY2(run.err.contains("the standard output cannot be written (" + reason + ")"),
             qPrintable(run.err));
    QCOMPARE(OutFiles(), (QStringList{"clip (2).3gp", "clip.3gp"}));
    for (const QString& name : OutFiles())
        QCOMPARE(CliTest::DecodeErrors(QDir(Out()).filePath(name)), QString());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
