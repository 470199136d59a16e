// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CommandTemplate.h"

#include <QTest>

namespace {

const QDateTime fixedNow(QDate(2006, 3, 7), QTime(9, 5, 1));

// A job trimmed to begin..end of a clip of the given length.
Job MakeJob(const QString& path, double begin, double end, double clip = 100000.0) {
    Job job = Job::FromPath(path, clip);
    job.beginTime = begin;
    job.endTime = end;
    return job;
}

} // namespace

class TestCommandTemplate : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void expand_data();
    void expand();
    void realMediaInput_data();
    void realMediaInput();
    void oddFileNamesStayOneArgument_data();
    void oddFileNamesStayOneArgument();
    void printable_data();
    void printable();
};

void TestCommandTemplate::split_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");

    QTest::newRow("blanks separate")
        << "ffmpeg  -i\tin.avi" << QStringList{"ffmpeg", "-i", "in.avi"};
    QTest::newRow("quotes group and go") << "a \"b c\" d" << QStringList{"a", "b c", "d"};
    QTest::newRow("quotes inside a word") << "x=\"1 2\"y" << QStringList{"x=1 2y"};
    QTest::newRow("empty quotes") << "a \"\" b" << QStringList{"a", "", "b"};
    QTest::newRow("backslash is literal") << "C:\\enc\\ffmpeg.exe \"D:\\out dir\\\""
                                          << QStringList{"C:\\enc\\ffmpeg.exe", "D:\\out dir\\"};
    QTest::newRow("open quote runs to the end") << "a \"b c" << QStringList{"a", "b c"};
    QTest::newRow("nothing") << "   " << QStringList{};
}

void TestCommandTemplate::split() {
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QStringList got;
    for (const TemplateWord& word : SplitCommandTemplate(text))
        got.append(word.text);
    QCOMPARE(got, words);
}

void TestCommandTemplate::expand_data() {
    QTest::addColumn<QString>("commandTemplate");
    QTest::addColumn<double>("begin");
    QTest::addColumn<double>("end");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<double>("clip");

    QTest::newRow("no variables") << "enc -a 1 -b two" << 0.0 << 10.0
                                  << QStringList{"enc", "-a", "1", "-b", "two"} << 100.0;
    // Exact times: whole seconds would cut every file's last fraction and make a range under
    // a second empty; a seek to 0 is left out, as it loses the start of some files' sound.
    QTest::newRow("all six")
        << "enc \"$INPUT_FILE\" $START $LENGTH \"$TIMESTAMP\" \"$OUTPUT_DIR$OUTPUT_FILE.3gp\""
        << 0.0 << 95.9
        << QStringList{"enc", "/v/clip.final.avi", "00:01:35.900", "2006-03-07 09:05:01",
                       "/out/clip.final.3gp"}
        << 100.0;
    QTest::newRow("begin exact") << "enc -ss $START -t $LENGTH" << 3725.5 << 3800.0
                                 << QStringList{"enc", "-ss", "01:02:05.500", "-t", "00:01:14.500"}
                                 << 4000.0;
    QTest::newRow("no seek from 0")
        << "enc -y -ss $START -i in -t $LENGTH" << 0.0 << 0.25
        << QStringList{"enc", "-y", "-i", "in", "-t", "00:00:00.250"} << 10.0;
    QTest::newRow("length rounded outward")
        << "enc $START $LENGTH" << 1.0004 << 2.0001
        << QStringList{"enc", "00:00:01.000", "00:00:01.001"} << 10.0;
    QTest::newRow("to the clip's end reads the file to its end")
        << "enc -t $LENGTH" << 0.0 << 193.88 << QStringList{"enc", "-t", "00:03:14.880"} << 193.88;
    QTest::newRow("hours past two digits")
        << "enc $START" << 360000.0 << 360001.0 << QStringList{"enc", "100:00:00.000"} << 400000.0;
    QTest::newRow("output file twice") << "enc $OUTPUT_FILE $OUTPUT_FILE" << 0.0 << 1.0
                                       << QStringList{"enc", "clip.final", "clip.final"} << 100.0;
    QTest::newRow("suffix after variable")
        << "enc \"$OUTPUT_DIR$OUTPUT_FILE_temp_2.3g2\"" << 0.0 << 1.0
        << QStringList{"enc", "/out/clip.final_temp_2.3g2"} << 100.0;
    QTest::newRow("unknown and lower-case variables stay")
        << "enc $FOO $start" << 0.0 << 1.0 << QStringList{"enc", "$FOO", "$start"} << 100.0;
    QTest::newRow("timestamp unquoted splits at its blank")
        << "enc creation_time=$TIMESTAMP" << 0.0 << 1.0
        << QStringList{"enc", "creation_time=2006-03-07 09:05:01"} << 100.0;
}

void TestCommandTemplate::expand() {
    QFETCH(QString, commandTemplate);
    QFETCH(double, begin);
    QFETCH(double, end);
    QFETCH(QStringList, arguments);
    QFETCH(double, clip);
    const Job job = MakeJob("/v/clip.final.avi", begin, end, clip);
    const CommandLine command = ExpandCommandTemplate(commandTemplate, job, "/out/", fixedNow);
    QCOMPARE(command.arguments, arguments);
}

void TestCommandTemplate::realMediaInput_data() {
    QTest::addColumn<QString>("exportPath"); // set while the job reads its export
    QTest::addColumn<QString>("commandTemplate");
    QTest::addColumn<QStringList>("arguments");

    // After the export the first pass reads the exported range from its start; the unquoted
    // "$START" loses the trailing blank that the encoder would reject.
    QTest::newRow("first pass reads the export")
        << "/p/Clip_23817.avi"
        << "enc -ss $START -i \"$INPUT_FILE\" -t $LENGTH"
        << QStringList{"enc", "-i", "/p/Clip_23817.avi", "-t", "00:00:20.000"};
    QTest::newRow("quoted start stays an argument") << "/p/Clip_23817.avi"
                                                    << "enc \"$START\"" << QStringList{"enc", ""};
    QTest::newRow("later passes read the source")
        << ""
        << "enc -ss $START -i \"$INPUT_FILE\""
        << QStringList{"enc", "-ss", "00:01:05.000", "-i", "/v/Clip.rm"};
    QTest::newRow("failed export reads the source")
        << ""
        << "enc -ss $START -i \"$INPUT_FILE\""
        << QStringList{"enc", "-ss", "00:01:05.000", "-i", "/v/Clip.rm"};
}

void TestCommandTemplate::realMediaInput() {
    QFETCH(QString, exportPath);
    QFETCH(QString, commandTemplate);
    QFETCH(QStringList, arguments);
    Job job = MakeJob("/v/Clip.rm", 65.0, 85.0);
    QVERIFY(job.isRealMedia);
    job.exportPath = exportPath;
    QCOMPARE(ExpandCommandTemplate(commandTemplate, job, "/out/", fixedNow).arguments, arguments);
}

void TestCommandTemplate::oddFileNamesStayOneArgument_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("outputDir");

    QTest::newRow("blanks") << "/my videos/a clip.avi"
                            << "/my out/";
    QTest::newRow("double quotes") << "/v/say \"hi\" -y.avi"
                                   << "/o/";
    QTest::newRow("option-like name") << "/v/-i x.avi"
                                      << "/o/";
    QTest::newRow("variable names inside") << "/v/$START $OUTPUT_DIR$LENGTH.avi"
                                           << "/o $TIMESTAMP/";
    QTest::newRow("dollar") << "/v/$5 deal.mpg"
                            << "/o/";
    QTest::newRow("non-ASCII") << "/v/\u00e9t\u00e9 \u65e5\u672c\u8a9e.mov"
                               << "/\u00fc/";
    QTest::newRow("windows path") << "D:\\my videos\\clip.avi"
                                  << "E:\\out\\";
}

void TestCommandTemplate::oddFileNamesStayOneArgument() {
    QFETCH(QString, source);
    QFETCH(QString, outputDir);
    const Job job = MakeJob(source, 0.0, 10.0);
    const CommandLine command = ExpandCommandTemplate(
        "ffmpeg -y -ss $START -i \"$INPUT_FILE\" -t $LENGTH -f 3gp \"$OUTPUT_DIR$OUTPUT_FILE.3gp\"",
        job, outputDir, fixedNow);
    const QStringList expected{"ffmpeg", "-y",  "-i",
                               source,   "-t",  "00:00:10.000",
                               "-f",     "3gp", outputDir + job.baseName + ".3gp"};
    QCOMPARE(command.arguments, expected);
}

void TestCommandTemplate::printable_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("line");

    QTest::newRow("plain") << QStringList{"enc", "-i", "a.avi"} << "enc -i a.avi";
    QTest::newRow("blanks quoted") << QStringList{"enc", "my clip.avi"} << "enc \"my clip.avi\"";
    QTest::newRow("quotes escaped") << QStringList{"enc", "a\"b"} << "enc \"a\\\"b\"";
    QTest::newRow("empty shown") << QStringList{"enc", ""} << "enc \"\"";
}

void TestCommandTemplate::printable() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, line);
    CommandLine command;
    command.arguments = arguments;
    QCOMPARE(command.Printable(), line);
    QCOMPARE(command.Program(), arguments.first());
}

QTEST_GUILESS_MAIN(TestCommandTemplate)
#include "tst_command_template.moc"
