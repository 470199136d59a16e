// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPaths.h"
#include "engine/CommandTemplate.h"
#include "media/VideoLevel.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestProfiles : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void readerKeepsFileOrder();
    void readerSplitsAtFirstEquals();
    void readerValues_data();
    void readerValues();
    void missingFileReadsEmpty();
    void misplacedInfoSection();
    void longLinesAreNotCut();
    void parseLeadingInt_data();
    void parseLeadingInt();
    void resolve_data();
    void resolve();
    void shippedProfiles_data();
    void shippedProfiles();

private:
    QString Write(const QString& name, const QByteArray& text);
    QTemporaryDir dir;
};

void TestProfiles::initTestCase() {
    QVERIFY(dir.isValid());
}

QString TestProfiles::Write(const QString& name, const QByteArray& text) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(text);
    return path;
}

void TestProfiles::readerKeepsFileOrder() {
    CProfileIniReader reader;
    reader.SetFile(Write("order.ini", "[Info]\nDescription=d\n[Zeta]\nTitle=Z\nb=2\na=1\n"
                                      "; comment\n\n[Alpha]\nTitle=A\n[Mid]\nTitle=M\n"));
    QStringList names;
    QCOMPARE(reader.GetSectionNames(names), 4);
    QCOMPARE(names, (QStringList{"Info", "Zeta", "Alpha", "Mid"}));
    QStringList keys, values;
    QCOMPARE(reader.GetSection("Zeta", keys, values), 3);
    QCOMPARE(keys, (QStringList{"Title", "b", "a"}));
    QCOMPARE(values, (QStringList{"Z", "2", "1"}));
}

void TestProfiles::readerSplitsAtFirstEquals() {
    CProfileIniReader reader;
    reader.SetFile(Write("split.ini", "\xEF\xBB\xBF[P]\r\nCmd=a=b\r\nno equals here\r\n=lead\r\n"));
    QStringList keys, values;
    QCOMPARE(reader.GetSection("P", keys, values), 3);
    QCOMPARE(keys, (QStringList{"Cmd", "", ""}));
    QCOMPARE(values, (QStringList{"a=b", "no equals here", "lead"}));
}

void TestProfiles::readerValues_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    QTest::newRow("plain") << "Info"
                           << "Description"
                           << "Phones \u00e9";
    QTest::newRow("case-insensitive names") << "info"
                                            << "DESCRIPTION"
                                            << "Phones \u00e9";
    QTest::newRow("quotes removed") << "P1"
                                    << "Title"
                                    << "Fast one";
    QTest::newRow("missing key") << "P1"
                                 << "Nope"
                                 << "";
    QTest::newRow("missing section") << "P9"
                                     << "Title"
                                     << "";
    QTest::newRow("first of repeated keys") << "P1"
                                            << "k"
                                            << "first";
}

void TestProfiles::readerValues() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    CProfileIniReader reader;
    reader.SetFile(Write("values.ini", "[Info]\nDescription = Phones \xC3\xA9 \n"
                                       "[P1]\nTitle=\"Fast one\"\nk=first\nk=second\n"));
    QCOMPARE(reader.GetValue(section, key), value);
}

void TestProfiles::missingFileReadsEmpty() {
    CProfileIniReader reader;
    reader.SetFile(dir.filePath("does-not-exist.ini"));
    QStringList names{"stale"}, keys{"stale"}, values{"stale"};
    QVERIFY(!reader.HasKeys("Info"));
    QCOMPARE(reader.GetValue("Info", "Description"), QString());
    QCOMPARE(reader.GetSectionNames(names), 0);
    QVERIFY(names.isEmpty());
    QCOMPARE(reader.GetSection("Info", keys, values), 0);
    QVERIFY(keys.isEmpty() && values.isEmpty());

    reader.SetFile(Write("emptyinfo.ini", "[Info]\n[P]\nTitle=x\n"));
    QVERIFY(!reader.HasKeys("Info"));
    QVERIFY(reader.HasKeys("P"));
}

void TestProfiles::misplacedInfoSection() {
    // Sections count by position: a file whose first section is a profile never lists it,
    // and lists its "Info" section as a profile; "Info" is still read by name.
    CProfileIniReader reader;
    const QString path = Write("misplaced.ini", "[First]\nTitle=First\nCmd=enc 1\n"
                                                "[Info]\nDescription=Desc\nDefaultProfile=1\n"
                                                "[Second]\nTitle=Second\nCmd=enc 2\n");
    reader.SetFile(path);
    QCOMPARE(reader.GetValue("Info", "Description"), QString("Desc"));
    QDir::setCurrent(dir.path());
    QFile::copy(path, dir.filePath(ProfileFileName(OutputType::Amr3gp)));
    const Result<ResolvedProfile> first = ResolveProfile(reader, dir.path(), OutputType::Amr3gp, 0);
    QVERIFY2(first, qPrintable(first.error()));
    QCOMPARE(first->profile.sectionName, QString("Info"));
    QCOMPARE(first->profile.title, QString());
    const Result<ResolvedProfile> second =
        ResolveProfile(reader, dir.path(), OutputType::Amr3gp, 1);
    QVERIFY(second);
    QCOMPARE(second->passTemplates, QStringList{"enc 2"});
}

void TestProfiles::longLinesAreNotCut() {
    const QByteArray longValue(5000, 'x');
    CProfileIniReader reader;
    reader.SetFile(Write("long.ini", "[P]\nTitle=" + longValue + "\nCmd=" + longValue + "\n"));
    QCOMPARE(reader.GetValue("P", "Title").size(), 5000);
    QStringList keys, values;
    reader.GetSection("P", keys, values);
    QCOMPARE(values.at(1).size(), 5000);
}

void TestProfiles::parseLeadingInt_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "2" << 2;
    QTest::newRow("blanks and sign") << "  +3" << 3;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("trailing text") << "4 (best)" << 4;
    QTest::newRow("no digits") << "two" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("huge") << "99999999999999" << std::numeric_limits<int>::max();
}

void TestProfiles::parseLeadingInt() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(ParseLeadingInt(text), value);
}

void TestProfiles::resolve_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("problem");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("templates");

    using P = ProfileProblem;
    const QByteArray three = "[Info]\nDescription=d\nDefaultProfile=2\n"
                             "[Fast]\nTitle=Fast\nc=enc fast\n"
                             "[Good]\nTitle=Good\nc=enc good\n"
                             "[Best]\nTitle=Best\nc=enc 1\nd=enc 2\nnote=n\ne=enc 3\n";
    QTest::newRow("second profile")
        << three << 0 << 1 << int(P::None) << "Good" << QStringList{"enc good"};
    QTest::newRow("3GP2 takes values 1, 2 and 4")
        << three << 2 << 2 << int(P::None) << "Best" << QStringList{"enc 1", "enc 2", "enc 3"};
    QTest::newRow("3GP2 with two lines is malformed")
        << three << 2 << 0 << int(P::Malformed) << "Fast" << QStringList{};
    QTest::newRow("no selection") << three << 0 << -1 << int(P::NoProfileSelected) << ""
                                  << QStringList{};
    QTest::newRow("past the end") << three << 1 << 3 << int(P::NoSuchProfile) << ""
                                  << QStringList{};
    QTest::newRow("title only") << QByteArray("[Info]\nx=1\n[P]\nTitle=T\n") << 0 << 0
                                << int(P::Malformed) << "T" << QStringList{};
    QTest::newRow("blank template") << QByteArray("[Info]\nx=1\n[P]\nTitle=T\nCmd=  \n") << 0 << 0
                                    << int(P::Malformed) << "T" << QStringList{};
    QTest::newRow("no sections") << QByteArray("; nothing\n") << 0 << 0 << int(P::NoProfiles) << ""
                                 << QStringList{};
}

void TestProfiles::resolve() {
    QFETCH(QByteArray, content);
    QFETCH(int, type);
    QFETCH(int, selection);
    QFETCH(int, problem);
    QFETCH(QString, title);
    QFETCH(QStringList, templates);

    QTemporaryDir profileDir;
    const auto outputType = static_cast<OutputType>(type);
    QFile file(QDir(profileDir.path()).filePath(ProfileFileName(outputType)));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    CProfileIniReader reader;
    // The problem is set on every call: a stale one must not survive a success.
    auto found = ProfileProblem::NoSuchProfile;
    const Result<ResolvedProfile> result =
        ResolveProfile(reader, profileDir.path(), outputType, selection, &found);
    QCOMPARE(int(found), problem);
    QCOMPARE(bool(result), problem == int(ProfileProblem::None));
    QCOMPARE(result.error().isEmpty(), bool(result));
    if (!result) {
        // A malformed profile is named in the message by its title.
        if (!title.isEmpty())
            QVERIFY2(result.error().contains(u'"' + title + u'"'), qPrintable(result.error()));
        QVERIFY(templates.isEmpty());
        return;
    }
    if (!title.isEmpty())
        QCOMPARE(result->profile.title, title);
    QCOMPARE(result->passTemplates, templates);
}

void TestProfiles::shippedProfiles_data() {
    QTest::addColumn<int>("type");
    for (int t = 0; t < OutputTypeCount; ++t)
        QTest::newRow(qPrintable(ProfileFileName(static_cast<OutputType>(t)))) << t;
}

// Every shipped profile is well formed: "Info" first with a description and a valid default,
// at least three titled profiles, and templates that run ffmpeg on quoted paths, trim with
// -ss/-t and write the file names that the conversion expects.
void TestProfiles::shippedProfiles() {
    QFETCH(int, type);
    const auto outputType = static_cast<OutputType>(type);
    const QString profileDir = QDir(TestPaths::ProgramDir()).filePath("app");
    CProfileIniReader reader;
    reader.SetFile(QDir(profileDir).filePath(ProfileFileName(outputType)));

    QStringList names;
    const int count = reader.GetSectionNames(names);
    QVERIFY(count >= 4);
    QCOMPARE(names.first(), QString("Info"));
    QVERIFY(!reader.GetValue("Info", "Description").isEmpty());
    const int defaultProfile = ParseLeadingInt(reader.GetValue("Info", "DefaultProfile"));
    QVERIFY(defaultProfile >= 1 && defaultProfile < count);

    Job job = Job::FromPath("/in dir/a \"b\".avi", 20.0);
    job.beginTime = 5.0;
    for (int selection = 0; selection < count - 1; ++selection) {
        const Result<ResolvedProfile> resolved =
            ResolveProfile(reader, profileDir, outputType, selection);
        QVERIFY2(resolved, qPrintable(resolved.error()));
        QVERIFY(!resolved->profile.title.isEmpty());
        QCOMPARE(resolved->profile.keys.first(), QString("Title"));
        QStringList outputs;
        for (const QString& pass : resolved->passTemplates) {
            const CommandLine command = ExpandCommandTemplate(pass, job, "/out dir/");
            QCOMPARE(command.Program(), QString("ffmpeg"));
            QVERIFY(!command.arguments.contains("-nostdin"));
            QVERIFY(!command.arguments.contains("-to"));
            QVERIFY(command.arguments.contains("-y"));
            outputs.append(command.arguments.last());
        }
        const CommandLine first =
            ExpandCommandTemplate(resolved->passTemplates.first(), job, "/out dir/");
        const auto value = [&first](const QString& option) {
            return first.arguments.value(first.arguments.indexOf(option) + 1);
        };
        QCOMPARE(value("-ss"), QString("00:00:05.000"));
        QCOMPARE(value("-t"), QString("00:00:16.000")); // to the clip's end, and a second more
        QCOMPARE(value("-i"), job.sourcePath);
        // The first real video stream only: a cover picture is no video for a phone.
        QVERIFY(first.arguments.join(' ').contains("-map 0:V:0? -map 0:a:0? -map_chapters -1"));
        // The title says what the profile makes: its frame, and its video rate as the cap.
        const QRegularExpression frame(R"((\d+)x(\d+), (\d+) fps, (\d+) kbps)");
        const QRegularExpressionMatch said = frame.match(resolved->profile.title);
        QVERIFY2(said.hasMatch(), qPrintable(resolved->profile.title));
        QVERIFY(value("-vf").startsWith(QString("fps=%1:").arg(said.captured(3))));
        QVERIFY(
            value("-vf").contains(QString("pad=%1:%2:").arg(said.captured(1), said.captured(2))));
        // The title names the level that the first pass asks for, and the title's rate is
        // within it; the encoder's cap leaves room below the title's rate.
        const int level = TargetVideoLevel(resolved->passTemplates.first());
        const std::optional<LevelLimits> limits =
            value("-c:v") == "h263"
                ? H263LevelLimits(level, said.captured(1).toInt(), said.captured(2).toInt())
                : Mpeg4LevelLimits(level);
        QVERIFY2(limits && resolved->profile.title.endsWith(limits->name + ')'),
                 qPrintable(resolved->profile.title));
        QVERIFY(said.captured(4).toInt() * 1000 <= limits->maxBitRate);
        QVERIFY(value("-maxrate").chopped(1).toInt() < said.captured(4).toInt());
        // The default plays on a baseline phone: H.263 Level 45 or MPEG-4 SP Level 0b.
        if (selection + 1 == defaultProfile)
            QVERIFY2(limits->maxBitRate <= 128000 && said.captured(1).toInt() <= 176,
                     qPrintable(resolved->profile.title));
        // The finished file has its index first and a creation time; the 3GP2 copy passes
        // take the source's title, artist, album, year and genre (the 3GP reader drops them).
        QVERIFY(resolved->passTemplates.last().contains("-movflags +faststart"));
        QVERIFY(resolved->passTemplates.last().contains(R"(-metadata "creation_time=$TIMESTAMP")"));
        for (const QString& pass : resolved->passTemplates.mid(1))
            QVERIFY(pass.contains(R"(-i "$INPUT_FILE" -map 0 -map_metadata 1)"));
        const bool wide = resolved->profile.title.contains("Wide");
        QCOMPARE(wide, said.captured(1).toInt() * 9 == said.captured(2).toInt() * 16);
        if (outputType == OutputType::Aac3g2) {
            QCOMPARE(outputs, (QStringList{"/out dir/a \"b\"_temp.3gp",
                                           "/out dir/a \"b\"_temp_2.3g2", "/out dir/a \"b\".3g2"}));
        } else {
            QCOMPARE(outputs, QStringList{"/out dir/a \"b\".3gp"});
        }
    }
}

QTEST_GUILESS_MAIN(TestProfiles)
#include "tst_profiles.moc"
