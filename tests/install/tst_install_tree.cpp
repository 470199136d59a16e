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

// "cmake --install" into a fresh prefix: the programs in bin/, everything they read in
// share/morvane/, and the installed programs find their files from there.
class TestInstallTree : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void installedTreeIsWhole_data();
    void installedTreeIsWhole();
    void installedCliFindsItsProfiles();
    void desktopEntryNamesInstalledProgramAndIcon();
    void copyrightIsMachineReadable();

private:
    QString Installed(const QString& relative) const {
        return QDir(prefix.path()).filePath(relative);
    }

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

// Everything the build tree's program folder ships is installed: the programs in bin/, app/,
// help/ and the skin in the data folder.
void TestInstallTree::installedTreeIsWhole_data() {
    QTest::addColumn<QString>("built");     // relative to the build tree's program folder
    QTest::addColumn<QString>("installed"); // relative to the prefix
    const QDir program(TestPaths::ProgramDir());
    const QString data = QStringLiteral(MORVANE_DATA_INSTALL_DIR "/");
    for (const QString& name : {QStringLiteral("morvane"), QStringLiteral("morvane-cli")})
        QTest::newRow(qPrintable(name)) << name << QStringLiteral("bin/") + name;
    for (const QString& folder : {QStringLiteral("app"), QStringLiteral("help")}) {
        QDirIterator it(program.filePath(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString relative = program.relativeFilePath(it.next());
            QTest::newRow(qPrintable(relative)) << relative << data + relative;
        }
    }
    if (QFileInfo::exists(program.filePath(QStringLiteral("Derov.skf"))))
        QTest::newRow("Derov.skf") << QStringLiteral("Derov.skf") << data + "Derov.skf";
    // What desktops, man and dpkg look for, made by the build ("" for nothing to compare with).
    for (const char* installed : {"share/man/man1/morvane.1.gz", "share/man/man1/morvane-cli.1.gz",
                                  "share/doc/morvane/changelog.Debian.gz",
                                  "share/metainfo/invalid.morvane.Morvane.metainfo.xml",
                                  "share/icons/hicolor/16x16/apps/morvane.png",
                                  "share/icons/hicolor/256x256/apps/morvane.png"})
        QTest::newRow(installed) << QString() << QString::fromLatin1(installed);
}

void TestInstallTree::installedTreeIsWhole() {
    QFETCH(QString, built);
    QFETCH(QString, installed);
    const QFileInfo target(Installed(installed));
    QVERIFY2(target.isFile() && !target.isSymLink(), qPrintable(target.filePath() + " is missing"));
    if (built.isEmpty())
        return;
    const QFileInfo source(QDir(TestPaths::ProgramDir()).filePath(built));
    QCOMPARE(target.isExecutable(), source.isExecutable());
    if (!source.isExecutable())
        QCOMPARE(target.size(), source.size());
}

// Started from an unrelated folder, the installed program finds the profiles in the data
// folder beside its bin/: every output type lists its profiles.
void TestInstallTree::installedCliFindsItsProfiles() {
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
