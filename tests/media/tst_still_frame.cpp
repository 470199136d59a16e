// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/StillFrame.h"

#include "IndexedClip.h"
#include "MediaFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

class TestStillFrame : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rightFrame_data();
    void rightFrame();
    void scaledKeepingShape_data();
    void scaledKeepingShape();
    void refused_data();
    void refused();
    void shownAsPlayersShowIt_data();
    void shownAsPlayersShowIt();

private:
    IndexedClip Clip(const QString& extension);

    QTemporaryDir dir;
};

void TestStillFrame::initTestCase() {
    QVERIFY(dir.isValid());
}

IndexedClip TestStillFrame::Clip(const QString& extension) {
    return IndexedClip::Make(dir.path(), extension);
}

void TestStillFrame::rightFrame_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<int>("frame");
    QTest::addColumn<double>("within"); // where in the frame's span the time lies, 0..1

    // Frames 0 and 12 are key frames; the others need the frames before them decoded.
    const struct {
        const char* container;
        bool startsAtZero; // the picture clock starts with the clip
    } containers[] = {{"avi", true}, {"mov", true}, {"rm", true}, {"mpg", false}};
    for (const auto& container : containers) {
        for (int frame : {0, 1, 5, 11, 12, 13, 23, 29}) {
            for (double within : {0.0, 0.5, 0.9}) {
                if (within == 0.0 && !container.startsAtZero)
                    continue;
                QTest::addRow("%s frame %d at %.1f", container.container, frame, within)
                    << container.container << frame << within;
            }
        }
    }
}

void TestStillFrame::rightFrame() {
    QFETCH(QString, container);
    QFETCH(int, frame);
    QFETCH(double, within);

    const IndexedClip clip = Clip(container);
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    const double time = (frame + within) / clip.fps;
    const Result<StillFrame> still = GrabStill(clip.path, time);
    QVERIFY2(still, qPrintable(still.error()));
    QCOMPARE(clip.FrameIndexOf(still->image), frame);
    // The picture's own time span holds the time asked for.
    QVERIFY2(still->pts <= time + 0.002 && time < still->pts + still->duration + 0.002,
             qPrintable(QString("pts %1 duration %2").arg(still->pts).arg(still->duration)));
    QVERIFY(qAbs(still->pts - frame / clip.fps) < 0.6 / clip.fps);
}

void TestStillFrame::scaledKeepingShape_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<double>("time");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<int>("frame");

    QTest::newRow("own size") << "avi" << 1.0 << QSize() << QSize(160, 120) << 10;
    QTest::newRow("box wider than picture")
        << "avi" << 1.0 << QSize(320, 100) << QSize(133, 100) << 10;
    QTest::newRow("box taller than picture")
        << "avi" << 1.0 << QSize(80, 80) << QSize(80, 60) << 10;
    QTest::newRow("enlarged") << "rm" << 1.0 << QSize(640, 480) << QSize(640, 480) << 15;
    QTest::newRow("16:9 display shape") << "mov" << 2.05 << QSize() << QSize(213, 120) << 20;
    QTest::newRow("16:9 into 4:3 box") << "mov" << 2.05 << QSize(320, 240) << QSize(320, 180) << 20;
    QTest::newRow("past the end gives the last frame")
        << "avi" << 100.0 << QSize(160, 120) << QSize(160, 120) << 29;
    QTest::newRow("negative time gives the first frame")
        << "mpg" << -3.0 << QSize(160, 120) << QSize(160, 120) << 0;
}

void TestStillFrame::scaledKeepingShape() {
    QFETCH(QString, container);
    QFETCH(double, time);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QFETCH(int, frame);

    const IndexedClip clip = Clip(container);
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    const Result<StillFrame> still = GrabStill(clip.path, time, box);
    QVERIFY2(still, qPrintable(still.error()));
    QCOMPARE(still->image.size(), expected);
    QVERIFY(still->image.format() == QImage::Format_RGB32);
    QCOMPARE(clip.FrameIndexOf(still->image), frame);
}

void TestStillFrame::refused_data() {
    QTest::addColumn<QString>("file"); // how to make it
    QTest::addColumn<double>("time");
    QTest::addColumn<QString>("words"); // part of the message

    QTest::newRow("missing") << "missing" << 0.0 << "does not exist";
    QTest::newRow("empty") << "empty" << 0.0 << "empty";
    QTest::newRow("text") << "text" << 0.0 << "not a video or audio file";
    QTest::newRow("sound only") << "mp3" << 0.5 << "no picture";
    QTest::newRow("header only") << "truncated" << 1.0 << "";
    QTest::newRow("time not a number")
        << "avi" << std::numeric_limits<double>::quiet_NaN() << "not a number";
}

void TestStillFrame::refused() {
    QFETCH(QString, file);
    QFETCH(double, time);
    QFETCH(QString, words);

    QString path = dir.filePath("odd $name 'with' \"quotes\" \u00e9 " + file);
    QFile::remove(path);
    if (file == "mp3") {
        MediaFixtures fixtures(dir.filePath("fixtures"));
        QVERIFY(QFile::copy(fixtures.Make("mp3"), path));
    } else if (file == "avi") {
        path = Clip("avi").path;
    } else if (file != "missing") {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        if (file == "text")
            out.write("Just some words, nothing to look at.\n");
        if (file == "truncated") {
            QFile source(Clip("avi").path);
            QVERIFY(source.open(QIODevice::ReadOnly));
            out.write(source.read(3000)); // the headers and hardly a picture
        }
    }

    const Result<StillFrame> still = GrabStill(path, time, QSize(80, 60));
    if (file == "truncated" && still) {
        // What little there is may decode; it must then be a real picture.
        QVERIFY(!still->image.isNull());
        return;
    }
    QVERIFY(!still);
    QVERIFY2(still.error().contains(words), qPrintable(still.error()));
    QVERIFY(!still.error().isEmpty());
}

void TestStillFrame::shownAsPlayersShowIt_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("time");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<double>("pts"); // the picture's time, or -1 when any will do

    QTest::newRow("phone clip turned a quarter")
        << "rotated" << 0.5 << QSize() << QSize(120, 160) << 0.5;
    QTest::newRow("turned clip in the page's box")
        << "rotated" << 0.5 << QSize(263, 198) << QSize(148, 198) << 0.5;
    QTest::newRow("pixel aspect given by the container only")
        << "aspect" << 0.5 << QSize() << QSize(213, 120) << 0.5;
    QTest::newRow("program stream without sound at 0")
        << "program" << 0.0 << QSize() << QSize(160, 120) << 0.0;
    QTest::newRow("program stream without sound in its first group")
        << "program" << 0.2 << QSize() << QSize(160, 120) << 0.2;
    QTest::newRow("late in a long H.264 group with B-frames")
        << "long" << 7.3 << QSize() << QSize(320, 240) << 7.3;
}

namespace {

// The mean difference of grey levels between two pictures of the same size.
double MeanDifference(const QImage& a, const QImage& b) {
    qint64 difference = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            difference += qAbs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    }
    return double(difference) / (a.width() * a.height());
}

} // namespace

void TestStillFrame::shownAsPlayersShowIt() {
    QFETCH(QString, kind);
    QFETCH(double, time);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QFETCH(double, pts);

    MediaFixtures fixtures(dir.filePath("fixtures"));
    const QStringList pattern{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=2"};
    const QString square = fixtures.MakeWith("square.avi", pattern + QStringList{"-c:v", "mpeg4"});
    QString path;
    if (kind == "rotated") {
        // The flag a phone writes: the coded picture lies on its side.
        path = fixtures.MakeWith("rotated.mp4", {"-i", square, "-c", "copy", "-metadata:s:v:0",
                                                 "rotate=90", "-f", "mp4"});
    } else if (kind == "aspect") {
        path = fixtures.MakeWith("aspect.mkv",
                                 {"-i", square, "-c", "copy", "-aspect", "16:9", "-f", "matroska"});
    } else if (kind == "long") {
        // One key frame in 10 s, B-frames between the others, as cameras make them.
        path = fixtures.MakeWith("long.mp4",
                                 {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=10",
                                  "-c:v", "libx264", "-preset", "veryfast", "-g", "250",
                                  "-sc_threshold", "0", "-pix_fmt", "yuv420p", "-f", "mp4"});
    } else {
        path =
            fixtures.MakeWith("program.mpg", pattern + QStringList{"-c:v", "mpeg1video", "-g", "12",
                                                                   "-bf", "2", "-f", "mpeg"});
    }
    QVERIFY2(!path.isEmpty(), qPrintable(fixtures.LastError()));

    const Result<StillFrame> still = GrabStill(path, time, box);
    QVERIFY2(still, qPrintable(still.error()));
    QCOMPARE(still->image.size(), expected);
    QVERIFY2(still->pts <= pts + 0.001 && pts < still->pts + still->duration + 0.001,
             qPrintable(QString::number(still->pts)));

    if ((kind == "rotated" || kind == "long") && box.isEmpty()) {
        // The picture the encoder takes at the still's own time (and turned as it turns it).
        const auto encoders = [&](double at) {
            const QString name = QStringLiteral("%1 at %2.png").arg(kind).arg(at);
            return QImage(fixtures.MakeWith(name, {"-ss", QString::number(at), "-i", path,
                                                   "-frames:v", "1", "-f", "image2"}))
                .convertToFormat(QImage::Format_RGB32);
        };
        const QImage reference = encoders(still->pts);
        QCOMPARE(reference.size(), expected);
        const double mean = MeanDifference(reference, still->image);
        QVERIFY2(mean < 8.0, qPrintable(QString::number(mean)));
        if (kind == "long") {
            // The picture before differs far more than conversion does: the frame is exact.
            const double before = MeanDifference(encoders(still->pts - 0.04), still->image);
            QVERIFY2(mean * 3 < before, qPrintable(QString("%1 vs %2").arg(mean).arg(before)));
        }
    }
}

QTEST_GUILESS_MAIN(TestStillFrame)
#include "tst_still_frame.moc"
