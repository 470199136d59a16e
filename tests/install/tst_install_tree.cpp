// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// "cmake --install" into a fresh prefix: the program folder stays whole under lib/morvane/,
// bin/ links into it, and the installed programs find their files through those links.
class TestInstallTree : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void programFolderIsWhole_data();
    void programFolderIsWhole();
    void binLinksIntoProgramFolder_data();
    void binLinksIntoProgramFolder();
    void linkedCliFindsItsProfiles();
    void desktopEntryNamesInstalledProgramAndIcon();
    void copyrightIsMachineReadable();

private:
    QString Installed(const QString& relative) const {
        return QDir(prefix.path()).filePath(relative);
    }
    QString ProgramFolder() const { return Installed(QStringLiteral(MORVANE_INSTALL_DIR)); }

    QTemporaryDir prefix;
};

void TestInstallTree::initTestCase() {
    QVERIFY(prefix.isValid());
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(MORVANE_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(MORVANE_BINARY_DIR),
                   QStringLiteral("--prefix"), prefix.path()});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAll().constData());
}

// Everything the build tree's program folder ships (the programs, app/, help/, the skin) is
// installed in the same place relative to the programs.
void TestInstallTree::programFolderIsWhole_data() {
    QTest::addColumn<QString>("relative");
    const QDir program(TestPaths::ProgramDir());
    QTest::newRow("morvane") << QStringLiteral("morvane");
    QTest::newRow("morvane-cli") << QStringLiteral("morvane-cli");
    for (const QString& folder : {QStringLiteral("app"), QStringLiteral("help")}) {
        QDirIterator it(program.filePath(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = program.relativeFilePath(it.next());
            QTest::newRow(qPrintable(relative)) << relative;
        }
    }
    if (QFileInfo::exists(program.filePath(QStringLiteral("Derov.skf"))))
        QTest::newRow("Derov.skf") << QStringLiteral("Derov.skf");
}

void TestInstallTree::programFolderIsWhole() {
    QFETCH(QString, relative);
    const QFileInfo built(QDir(TestPaths::ProgramDir()).filePath(relative));
    const QFileInfo installed(QDir(ProgramFolder()).filePath(relative));
    QVERIFY2(installed.isFile(), qPrintable(installed.filePath() + " is missing"));
    QCOMPARE(installed.isExecutable(), built.isExecutable());
    if (!built.isExecutable())
        QCOMPARE(installed.size(), built.size());
}

void TestInstallTree::binLinksIntoProgramFolder_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("morvane") << QStringLiteral("morvane");
    QTest::newRow("morvane-cli") << QStringLiteral("morvane-cli");
}

void TestInstallTree::binLinksIntoProgramFolder() {
    QFETCH(QString, program);
    const QFileInfo link(Installed(QStringLiteral("bin/") + program));
    QVERIFY2(link.isSymLink(), "bin/ must hold a link, not a copy of the program");
    // Relative, so that the tree works under any prefix and inside a package.
    char target[4096] = {};
    const ssize_t length =
        ::readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof target - 1);
    QVERIFY(length > 0);
    QVERIFY2(QDir::isRelativePath(QFile::decodeName(QByteArray(target, length))),
             "the link must be relative");
    QCOMPARE(link.canonicalFilePath(),
             QFileInfo(QDir(ProgramFolder()).filePath(program)).canonicalFilePath());
}

// Started through bin/ from an unrelated folder, the program still finds app/ beside its real
// location: every output type lists its profiles.
void TestInstallTree::linkedCliFindsItsProfiles() {
    QTemporaryDir elsewhere;
    QProcess cli;
    cli.setWorkingDirectory(elsewhere.path());
    cli.start(Installed(QStringLiteral("bin/morvane-cli")), {QStringLiteral("--list-profiles")});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY2(!out.contains(QStringLiteral("no profile file")), qPrintable(out));
    for (const QString& type :
         {QStringLiteral("0: "), QStringLiteral("1: "), QStringLiteral("2: ")})
        QVERIFY2(out.contains(type), qPrintable(out));
    QVERIFY2(out.contains(QStringLiteral("   1. ")), qPrintable(out));
}

void TestInstallTree::desktopEntryNamesInstalledProgramAndIcon() {
    const QString path = Installed(QStringLiteral("share/applications/morvane.desktop"));
    QVERIFY(QFileInfo(path).isFile());
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    QCOMPARE(entry.value(QStringLiteral("Type")).toString(), QStringLiteral("Application"));
    const QString exec = entry.value(QStringLiteral("Exec")).toString().section(u' ', 0, 0);
    QVERIFY2(QFileInfo(Installed(QStringLiteral("bin/") + exec)).isExecutable(),
             qPrintable(exec + " is not in bin/"));
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY2(
        QFileInfo(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(icon)))
            .isFile(),
        qPrintable(icon + " has no installed icon"));
}

// The package's copyright file in Debian's machine-readable format: every licence a Files
// paragraph names has its own paragraph with the terms.
void TestInstallTree::copyrightIsMachineReadable() {
    QFile file(Installed(QStringLiteral("share/doc/morvane/copyright")));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(text.startsWith(QStringLiteral(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")));
    QStringList named;
    QStringList described;
    bool coversAll = false;
    for (const QString& paragraph : text.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        const QStringList lines = paragraph.split(u'\n');
        const QString license = lines.filter(QRegularExpression(QStringLiteral("^License: ")))
                                    .value(0)
                                    .mid(9)
                                    .trimmed();
        if (lines.first().startsWith(QStringLiteral("Files:"))) {
            coversAll = coversAll || lines.first() == QStringLiteral("Files: *");
            QVERIFY2(!license.isEmpty(), qPrintable(paragraph));
            named.append(license);
        } else if (lines.first().startsWith(QStringLiteral("License:")) && lines.size() > 1) {
            described.append(license);
        }
    }
    QVERIFY(coversAll);
    QVERIFY(named.contains(QStringLiteral("GPL-3+")));
    for (const QString& license : named)
        QVERIFY2(described.contains(license), qPrintable(license + " has no terms"));
}

QTEST_GUILESS_MAIN(TestInstallTree)
#include "tst_install_tree.moc"
