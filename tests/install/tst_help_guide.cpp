// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPaths.h"
#include "engine/Job.h"
#include "engine/JobCellText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(Job)

// The user guide as it is shipped (help/ in the program folder): it is read offline, so every
// picture, style sheet and link must be local and resolve; and it must describe the programs as
// they are: every option and exit code of morvane-cli, every text of the Progress column. The
// manual pages, too, name every option that the programs' --help lists.
class TestHelpGuide : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void referencesAreLocalAndResolve_data();
    void referencesAreLocalAndResolve();
    void optionsAreDocumented_data();
    void optionsAreDocumented();
    void cliExitCodesAreDocumented_data();
    void cliExitCodesAreDocumented();
    void progressTextsAreDocumented_data();
    void progressTextsAreDocumented();

private:
    static QString ReadText(const QString& path);
    static QString HelpOf(const QString& program);

    QString helpDir;
    QString html;
    QString css;
    QString cliHelp;
    QString windowHelp;
    QMap<QString, QString> manPages; // by file name
    QSet<QString> ids;
};

QString TestHelpGuide::ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void TestHelpGuide::initTestCase() {
    helpDir = QDir(TestPaths::ProgramDir()).filePath(QStringLiteral("help"));
    html = ReadText(QDir(helpDir).filePath(QStringLiteral("help.html")));
    css = ReadText(QDir(helpDir).filePath(QStringLiteral("help.css")));
    QVERIFY2(!html.isEmpty(), "help/help.html is missing from the program folder");
    QVERIFY2(!css.isEmpty(), "help/help.css is missing from the program folder");

    static const QRegularExpression idPattern(QStringLiteral("\\bid=\"([^\"]+)\""));
    for (const auto& match : idPattern.globalMatch(html))
        ids.insert(match.captured(1));

    cliHelp = HelpOf(QStringLiteral("morvane-cli"));
    windowHelp = HelpOf(QStringLiteral("morvane"));
    QVERIFY(cliHelp.contains(QStringLiteral("Options:")));
    QVERIFY(windowHelp.contains(QStringLiteral("Options:")));
    for (const QString& page : {QStringLiteral("morvane.1"), QStringLiteral("morvane-cli.1")}) {
        manPages.insert(page,
                        ReadText(QDir(TestPaths::SourceDir()).filePath("packaging/man/" + page)));
        QVERIFY2(!manPages.value(page).isEmpty(), qPrintable(page + " is missing"));
    }
}

QString TestHelpGuide::HelpOf(const QString& program) {
    QProcess process;
    process.start(QDir(TestPaths::ProgramDir()).filePath(program), {QStringLiteral("--help")});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

void TestHelpGuide::referencesAreLocalAndResolve_data() {
    QTest::addColumn<QString>("reference");
    static const QRegularExpression htmlReference(QStringLiteral("\\b(?:href|src)=\"([^\"]*)\""));
    static const QRegularExpression cssReference(QStringLiteral("url\\(\\s*['\"]?([^'\")]*)"));
    int count = 0;
    for (const auto& match : htmlReference.globalMatch(html)) {
        QTest::addRow("help.html %d: %s", ++count, qPrintable(match.captured(1)))
            << match.captured(1);
    }
    for (const auto& match : cssReference.globalMatch(css)) {
        QTest::addRow("help.css %d: %s", ++count, qPrintable(match.captured(1)))
            << match.captured(1);
    }
}

void TestHelpGuide::referencesAreLocalAndResolve() {
    QFETCH(QString, reference);
    QVERIFY2(!reference.isEmpty(), "empty reference");
    QVERIFY2(!reference.contains(QStringLiteral("://")) && !reference.startsWith(u'/') &&
                 !reference.startsWith(QStringLiteral("data:")),
             "the guide must not fetch anything from elsewhere");
    if (reference.startsWith(u'#')) {
        QVERIFY2(ids.contains(reference.mid(1)), "no element has this id");
        return;
    }
    const QString file = reference.section(u'#', 0, 0);
    QVERIFY2(QFileInfo(QDir(helpDir).filePath(file)).isFile(),
             "the file is not in help/ of the program folder");
}

void TestHelpGuide::optionsAreDocumented_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("document"); // "guide" or a manual page
    // "  -t, --type <0|1|2>   Output type ..." or "  --list-profiles   Lists ..."
    static const QRegularExpression optionLine(QStringLiteral("^  (?:-\\w, )?(--[a-z][a-z-]*)"),
                                               QRegularExpression::MultilineOption);
    for (const auto& match : optionLine.globalMatch(cliHelp)) {
        for (const QString& document : {QStringLiteral("guide"), QStringLiteral("morvane-cli.1")})
            QTest::addRow("%s: %s", qPrintable(document), qPrintable(match.captured(1)))
                << match.captured(1) << document;
    }
    for (const auto& match : optionLine.globalMatch(windowHelp))
        QTest::addRow("morvane.1: %s", qPrintable(match.captured(1)))
            << match.captured(1) << QStringLiteral("morvane.1");
}

void TestHelpGuide::optionsAreDocumented() {
    QFETCH(QString, option);
    QFETCH(QString, document);
    // The option itself, not a longer one that starts with it; a manual page writes each
    // hyphen as "\-".
    if (document == QStringLiteral("guide")) {
        const QRegularExpression documented(
            QStringLiteral("<code>%1(?![\\w-])").arg(QRegularExpression::escape(option)));
        QVERIFY2(html.contains(documented), "the guide does not explain it");
        return;
    }
    const QString roff = QString(option).replace(u'-', QStringLiteral("\\-"));
    const QRegularExpression documented(
        QStringLiteral("^\\.B[IR]? (?:.* )?%1(?![\\w\\\\])").arg(QRegularExpression::escape(roff)),
        QRegularExpression::MultilineOption);
    QVERIFY2(manPages.value(document).contains(documented), "the manual page does not explain it");
}

void TestHelpGuide::cliExitCodesAreDocumented_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("document"); // "guide" or a manual page
    // "Exit codes: 0 every job finished, 1 a job failed ..., 2 wrong usage, 130 stopped ..."
    const QString exitCodes =
        cliHelp.section(QStringLiteral("Exit codes:"), 1).section(u'\n', 0, 0);
    static const QRegularExpression codePattern(QStringLiteral("(?:^|, )\\s*(\\d+) "));
    for (const auto& match : codePattern.globalMatch(exitCodes)) {
        for (const QString& document : {QStringLiteral("guide"), QStringLiteral("morvane-cli.1")})
            QTest::addRow("%s: %s", qPrintable(document), qPrintable(match.captured(1)))
                << match.captured(1) << document;
    }
}

void TestHelpGuide::cliExitCodesAreDocumented() {
    QFETCH(QString, code);
    QFETCH(QString, document);
    if (document == QStringLiteral("guide")) {
        QVERIFY2(html.contains(QStringLiteral("<tr><td><code>%1</code></td>").arg(code)),
                 "the exit code table does not list it");
        return;
    }
    const QString exitStatus = manPages.value(document)
                                   .section(QStringLiteral(".SH EXIT STATUS\n"), 1)
                                   .section(QStringLiteral("\n.SH "), 0, 0);
    QVERIFY2(exitStatus.contains(QStringLiteral(".TP\n.B %1\n").arg(code)),
             "the manual page's EXIT STATUS does not list it");
}

void TestHelpGuide::progressTextsAreDocumented_data() {
    QTest::addColumn<Job>("job");
    Job finished;
    finished.status = JobStatus::Finished;
    Job buffering;
    buffering.isRealMedia = true;
    buffering.status = JobStatus::Exporting;
    buffering.exportPercent = 42.5;
    Job running;
    running.endTime = 108.0;
    running.encodedTime = 41.0;
    running.sizeKB = 1147;
    running.framesPerSecond = 38.5;
    running.status = JobStatus::FirstPass;
    QTest::newRow("finished") << finished;
    QTest::newRow("buffering") << buffering;
    QTest::newRow("status line") << running;
    for (const JobStatus phase : {JobStatus::SecondPass, JobStatus::ThirdPass, JobStatus::Canceled,
                                  JobStatus::Failed, JobStatus::Skipped, JobStatus::Interrupted}) {
        Job job;
        job.status = phase;
        QTest::addRow("phase %d", int(phase)) << job;
    }
    Job missing;
    missing.sourceMissing = true;
    QTest::newRow("source missing") << missing;
}

void TestHelpGuide::progressTextsAreDocumented() {
    QFETCH(Job, job);
    const QString text = JobProgressCell(job).text;
    QVERIFY(!text.isEmpty());
    // Shown exactly, blanks included, as the program's own text.
    QVERIFY2(
        html.contains(QStringLiteral("<span class=\"ui\">") + text + QStringLiteral("</span>")),
        qPrintable(QStringLiteral("the guide does not show \"%1\"").arg(text)));
}

QTEST_GUILESS_MAIN(TestHelpGuide)
#include "tst_help_guide.moc"
