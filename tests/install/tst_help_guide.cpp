// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPaths.h"
#include "engine/Job.h"
#include "engine/JobCellText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(Job)

// The user guide as it is shipped (help/ in the program folder): it is read offline, so every
// picture, style sheet and link must be local and resolve; and it must describe the programs as
// they are: every option and exit code of morvane-cli, every text of the Progress column.
class TestHelpGuide : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void referencesAreLocalAndResolve_data();
    void referencesAreLocalAndResolve();
    void cliOptionsAreDocumented_data();
    void cliOptionsAreDocumented();
    void cliExitCodesAreDocumented_data();
    void cliExitCodesAreDocumented();
    void progressTextsAreDocumented_data();
    void progressTextsAreDocumented();

private:
    static QString ReadText(const QString& path);

    QString helpDir;
    QString html;
    QString css;
    QString cliHelp;
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

    QProcess cli;
    cli.start(QDir(TestPaths::ProgramDir()).filePath(QStringLiteral("morvane-cli")),
              {QStringLiteral("--help")});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 0);
    cliHelp = QString::fromUtf8(cli.readAllStandardOutput());
    QVERIFY(cliHelp.contains(QStringLiteral("Options:")));
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

void TestHelpGuide::cliOptionsAreDocumented_data() {
    QTest::addColumn<QString>("option");
    // "  -t, --type <0|1|2>   Output type ..." or "  --list-profiles   Lists ..."
    static const QRegularExpression optionLine(QStringLiteral("^  (?:-\\w, )?(--[a-z][a-z-]*)"),
                                               QRegularExpression::MultilineOption);
    for (const auto& match : optionLine.globalMatch(cliHelp))
        QTest::newRow(qPrintable(match.captured(1))) << match.captured(1);
}

void TestHelpGuide::cliOptionsAreDocumented() {
    QFETCH(QString, option);
    // The option itself, not a longer one that starts with it.
    const QRegularExpression documented(
        QStringLiteral("<code>%1(?![\\w-])").arg(QRegularExpression::escape(option)));
    QVERIFY2(html.contains(documented), "the guide does not explain it");
}

void TestHelpGuide::cliExitCodesAreDocumented_data() {
    QTest::addColumn<QString>("code");
    // "Exit codes: 0 every job finished, 1 a job failed ..., 2 wrong usage, 130 stopped ..."
    const QString exitCodes =
        cliHelp.section(QStringLiteral("Exit codes:"), 1).section(u'\n', 0, 0);
    static const QRegularExpression codePattern(QStringLiteral("(?:^|, )\\s*(\\d+) "));
    for (const auto& match : codePattern.globalMatch(exitCodes))
        QTest::newRow(qPrintable(match.captured(1))) << match.captured(1);
}

void TestHelpGuide::cliExitCodesAreDocumented() {
    QFETCH(QString, code);
    QVERIFY2(html.contains(QStringLiteral("<tr><td><code>%1</code></td>").arg(code)),
             "the exit code table does not list it");
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
