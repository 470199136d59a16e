// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CVideoEdit.h"

#include "IndexedClip.h"
#include "MediaFixtures.h"
#include "media/MediaExporter.h"
#include "media/MediaProbe.h"

#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QMediaDevices>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// The size of the preview on the main page.
constexpr int PreviewWidth = 263;
constexpr int PreviewHeight = 198;

// The frame number shown in the middle of the widget's rendered image, or -1.
int FrameInMiddle(const IndexedClip& clip, const QImage& shot) {
    const QRect middle(shot.width() / 2 - 20, shot.height() / 2 - 20, 40, 40);
    return clip.FrameIndexOf(shot.copy(middle));
}

int GreyAt(const QImage& shot, int y) {
    return qGray(shot.pixel(shot.width() / 2, y));
}

bool AllBlack(const QImage& shot) {
    for (int y = 0; y < shot.height(); y += 7) {
        for (int x = 0; x < shot.width(); x += 7) {
            if (qGray(shot.pixel(x, y)) > 2)
                return false;
        }
    }
    return true;
}

// Asks for a still the way the main page does: open one second at t, play, and stop at the
// first position event. Returns the widget's rendered image, or a null image on failure.
QImage RequestStill(CVideoEdit& edit, const QString& path, double t) {
    edit.CloseClip();
    edit.SetBitsPerPixel(24);
    if (!edit.OpenClipRange(path, t, 1.0, 0))
        return {};
    QSignalSpy positions(&edit, &CVideoEdit::OnPlayPosition);
    QObject context;
    QObject::connect(&edit, &CVideoEdit::OnPlayPosition, &context, [&] { edit.StopPlayback(); });
    if (!edit.Play() || !positions.wait(20000) || edit.IsPlaying())
        return {};
    QTest::qWait(50); // a late picture or event would show up here
    if (positions.count() != 1)
        return {};
    return edit.grab().toImage();
}

} // namespace

class TestVideoEdit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void stillShowsTheFrameAtItsTime_data();
    void stillShowsTheFrameAtItsTime();
    void playbackStopsAtTheRangeEnd_data();
    void playbackStopsAtTheRangeEnd();
    void soundOnlyClipReportsPositions();
    void unopenableClip_data();
    void unopenableClip();
    void closeClipShowsBlack();
    void exportForwardsItsEvents();
    void exportRefused();

private:
    QTemporaryDir dir;
    CVideoEdit* edit = nullptr;
};

void TestVideoEdit::initTestCase() {
    QVERIFY(dir.isValid());
}

void TestVideoEdit::init() {
    edit = new CVideoEdit;
    edit->resize(PreviewWidth, PreviewHeight);
    edit->SetSoundEnabled(false); // the wall clock paces the pictures on any machine
}

void TestVideoEdit::cleanup() {
    delete edit;
    edit = nullptr;
}

void TestVideoEdit::stillShowsTheFrameAtItsTime_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<double>("time");
    QTest::addColumn<bool>("barsAboveAndBelow");

    // Key frames every 12 pictures: times on key frames, between them, on frame boundaries,
    // at the start, at the last picture and past the end.
    for (double t : {0.0, 0.05, 0.1, 0.73, 1.2, 1.75, 2.35, 2.95, 7.0})
        QTest::addRow("avi %.2f", t) << "avi" << t << false;
    for (double t : {0.34, 1.0, 1.55, 2.91})
        QTest::addRow("mov 16:9 %.2f", t) << "mov" << t << true;
    for (double t : {0.5, 1.3, 1.99})
        QTest::addRow("mpg %.2f", t) << "mpg" << t << false;
    for (double t : {0.7, 1.5})
        QTest::addRow("rm %.2f", t) << "rm" << t << false;
}

void TestVideoEdit::stillShowsTheFrameAtItsTime() {
    QFETCH(QString, container);
    QFETCH(double, time);
    QFETCH(bool, barsAboveAndBelow);

    const IndexedClip clip = IndexedClip::Make(dir.path(), container);
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    const QImage shot = RequestStill(*edit, clip.path, time);
    QVERIFY2(!shot.isNull(), qPrintable(edit->LastError()));
    QCOMPARE(shot.size(), QSize(PreviewWidth, PreviewHeight));

    const int expected = std::min(clip.frames - 1, int(std::floor(time * clip.fps + 1e-6)));
    QCOMPARE(FrameInMiddle(clip, shot), expected);

    // The picture keeps its shape: a 16:9 clip gets black bars above and below (263 x 148
    // in the middle of 263 x 198), a 4:3 one fills the height.
    if (expected >= 3) { // the first pictures are nearly black themselves
        const int grey = GreyAt(shot, PreviewHeight / 2);
        if (barsAboveAndBelow) {
            QVERIFY(GreyAt(shot, 12) <= 2);
            QVERIFY(GreyAt(shot, PreviewHeight - 13) <= 2);
            QVERIFY(qAbs(GreyAt(shot, 30) - grey) <= 4);
            QVERIFY(qAbs(GreyAt(shot, PreviewHeight - 31) - grey) <= 4);
        } else {
            QVERIFY(qAbs(GreyAt(shot, 3) - grey) <= 4);
            QVERIFY(qAbs(GreyAt(shot, PreviewHeight - 4) - grey) <= 4);
        }
    }
}

void TestVideoEdit::playbackStopsAtTheRangeEnd_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");
    QTest::addColumn<bool>("sound");

    QTest::newRow("avi between frames") << "avi" << 0.85 << 1.2 << false;
    QTest::newRow("avi on frames") << "avi" << 1.0 << 0.5 << false;
    QTest::newRow("mpg") << "mpg" << 0.3 << 0.8 << false;
    QTest::newRow("mov whole clip") << "mov" << 0.0 << 3.0 << false;
    QTest::newRow("avi past the clip's end") << "avi" << 2.2 << 5.0 << false;
    QTest::newRow("rm") << "rm" << 0.5 << 1.0 << false;
    // Through the machine's sound output when it has one (the sound's clock then paces the
    // pictures), else silently: the same pictures either way.
    QTest::newRow("avi, sound output if any") << "avi" << 0.85 << 1.2 << true;
    QTest::newRow("mpg, sound output if any") << "mpg" << 0.3 << 0.8 << true;
}

void TestVideoEdit::playbackStopsAtTheRangeEnd() {
    QFETCH(QString, container);
    QFETCH(double, start);
    QFETCH(double, length);
    QFETCH(bool, sound);

    const IndexedClip clip = IndexedClip::Make(dir.path(), container);
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    edit->SetSoundEnabled(sound);
    // As the preview button does it; SetClipRange replaces the range of the open clip.
    QVERIFY(edit->OpenClipRange(clip.path, 0.0, 0.2, 0));
    QVERIFY(edit->SetClipRange(clip.path, start, length));
    QSignalSpy positions(edit, &CVideoEdit::OnPlayPosition);
    QSignalSpy finished(edit, &CVideoEdit::PlaybackFinished);
    QVERIFY(edit->Play());
    QVERIFY(edit->IsPlaying());
    QVERIFY(finished.wait(30000));
    QVERIFY(!edit->IsPlaying());
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);

    const double frame = 1.0 / clip.fps;
    const double end = std::min(start + length, clip.Seconds());
    QVERIFY(!positions.isEmpty());
    const double first = positions.first().at(0).toDouble();
    const double last = positions.last().at(0).toDouble();
    // The pictures cover the range: the one showing at start through the one showing at end.
    QVERIFY2(first <= start + 0.002 && first > start - frame, qPrintable(QString::number(first)));
    QVERIFY2(last < end && last >= end - frame - 0.002, qPrintable(QString::number(last)));
    double previous = -1.0;
    for (const QList<QVariant>& event : positions) {
        QVERIFY(event.at(0).toDouble() > previous);
        previous = event.at(0).toDouble();
    }
    // The last picture stays on screen.
    QCOMPARE(FrameInMiddle(clip, edit->grab().toImage()), int(std::lround(last * clip.fps)));
}

void TestVideoEdit::soundOnlyClipReportsPositions() {
    MediaFixtures fixtures(dir.filePath("fixtures"));
    const QString path = fixtures.Make("wav");
    QVERIFY2(!path.isEmpty(), qPrintable(fixtures.LastError()));

    // A still request of a sound-only clip still gets its position event.
    const QImage still = RequestStill(*edit, path, 1.0);
    QVERIFY2(!still.isNull(), qPrintable(edit->LastError()));
    QVERIFY(AllBlack(still));

    QVERIFY(edit->OpenClipRange(path, 0.5, 0.6, 0));
    QSignalSpy positions(edit, &CVideoEdit::OnPlayPosition);
    QSignalSpy finished(edit, &CVideoEdit::PlaybackFinished);
    // Without a sound device the preview says so while it plays (on by the clock).
    const bool noDevice = QMediaDevices::defaultAudioOutput().isNull();
    edit->SetSoundEnabled(noDevice);
    QVERIFY(edit->Play());
    if (noDevice)
        QVERIFY(edit->SoundNote().startsWith("No sound device"));
    QVERIFY(finished.wait(30000));
    QVERIFY(positions.count() >= 2);
    for (const QList<QVariant>& event : positions) {
        const double at = event.at(0).toDouble();
        QVERIFY2(at >= 0.5 && at <= 1.1, qPrintable(QString::number(at)));
    }
    QVERIFY(AllBlack(edit->grab().toImage()));
}

void TestVideoEdit::unopenableClip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // none: the file is not made

    QTest::newRow("missing") << "missing.avi" << QByteArray();
    QTest::newRow("odd name, missing") << "it's a \"$clip\" ü.avi" << QByteArray();
    QTest::newRow("empty") << "empty.avi" << QByteArray("");
    QTest::newRow("text") << "notes.mpg" << QByteArray("not a clip at all\n").repeated(100);
    QTest::newRow("folder") << "." << QByteArray();
}

void TestVideoEdit::unopenableClip() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);

    const QString path = QDir(dir.path()).filePath(name);
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // A picture of another clip is on screen; it goes.
    const IndexedClip clip = IndexedClip::Make(dir.path(), "avi");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    QCOMPARE(FrameInMiddle(clip, RequestStill(*edit, clip.path, 2.0)), 20);

    QString reason;
    QVERIFY(edit->GetClipLength(path, &reason) < 0.0);
    QVERIFY(!reason.isEmpty());

    QVERIFY(!edit->OpenClipRange(path, 1.0, 1.0, 0));
    QVERIFY(!edit->LastError().isEmpty());
    QVERIFY(!edit->SetClipRange(path, 1.0, 1.0));
    QVERIFY(!edit->Play());
    QVERIFY(!edit->IsPlaying());
    QVERIFY(!edit->ExportToFile(dir.filePath("out.avi")));
    QVERIFY(AllBlack(edit->grab().toImage()));
}

void TestVideoEdit::closeClipShowsBlack() {
    const IndexedClip clip = IndexedClip::Make(dir.path(), "avi");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    const QImage shot = RequestStill(*edit, clip.path, 2.0);
    QCOMPARE(FrameInMiddle(clip, shot), 20);

    edit->CloseClip();
    QVERIFY(AllBlack(edit->grab().toImage()));

    // Also while playing: playback ends and nothing more is drawn.
    QVERIFY(edit->OpenClipRange(clip.path, 0.5, 2.0, 0));
    QSignalSpy positions(edit, &CVideoEdit::OnPlayPosition);
    QVERIFY(edit->Play());
    QVERIFY(positions.wait(20000));
    edit->CloseClip();
    QVERIFY(!edit->IsPlaying());
    const int seen = positions.count();
    QTest::qWait(300);
    QCOMPARE(positions.count(), seen);
    QVERIFY(AllBlack(edit->grab().toImage()));
    QVERIFY(!edit->Play());
}

void TestVideoEdit::exportForwardsItsEvents() {
    MediaFixtures fixtures(dir.filePath("fixtures"));
    const QString source = fixtures.Make("avi");
    QVERIFY2(!source.isEmpty(), qPrintable(fixtures.LastError()));
    const QString output = QDir(dir.path()).filePath("export $'d ü.avi");

    QSignalSpy progress(edit, &CVideoEdit::OnExportProgress);
    QSignalSpy done(edit, &CVideoEdit::OnExportDone);
    QSignalSpy failed(edit, &CVideoEdit::OnExportFailed);
    // The second time is a length: one second from 0.5 s.
    QVERIFY(edit->OpenClipRange(source, 0.5, 1.0, 0));
    QVERIFY2(edit->ExportToFile(output), qPrintable(edit->LastError()));
    QVERIFY(done.wait(120000));
    QCOMPARE(failed.count(), 0);
    for (const QList<QVariant>& event : progress) {
        QVERIFY(qAbs(event.at(1).toDouble() - 1.0) < 0.05);
        QVERIFY(event.at(0).toDouble() <= event.at(1).toDouble() + 0.05);
    }
    const Result<MediaInfo> exported = ProbeMedia(output);
    QVERIFY2(exported, qPrintable(exported.error()));
    QVERIFY2(qAbs(exported->duration - 1.0) < 0.2, qPrintable(QString::number(exported->duration)));
}

void TestVideoEdit::exportRefused() {
    QVERIFY(!edit->ExportToFile(dir.filePath("nothing open.avi")));
    QVERIFY(!edit->LastError().isEmpty());

    MediaFixtures fixtures(dir.filePath("fixtures"));
    const QString source = fixtures.Make("avi");
    QVERIFY2(!source.isEmpty(), qPrintable(fixtures.LastError()));
    QSignalSpy done(edit, &CVideoEdit::OnExportDone);
    QSignalSpy failed(edit, &CVideoEdit::OnExportFailed);
    QVERIFY(edit->OpenClipRange(source, 0.0, 1.0, 0));
    QVERIFY(!edit->ExportToFile(QDir(dir.path()).filePath("no such folder/out.avi")));
    QVERIFY(!edit->LastError().isEmpty());
    QTest::qWait(200);
    QCOMPARE(done.count() + failed.count(), 0);
}

QTEST_MAIN(TestVideoEdit)
#include "tst_video_edit.moc"
