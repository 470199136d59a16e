// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PlaybackDecoder.h"

#include "IndexedClip.h"
#include "MediaFixtures.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// Everything one playback delivered, pulled as a player would.
struct Delivered {
    std::vector<VideoFrame> frames;
    std::vector<AudioChunk> chunks;
    qint64 audioFrames = 0;
    int endNotices = 0;
};

// Pulls both queues whenever data is announced, until the range has ended and all is taken.
// False when that does not happen within a minute.
bool PullAll(PlaybackDecoder& decoder, Delivered* out) {
    Delivered& delivered = *out;
    const auto pull = [&] {
        VideoFrame frame;
        while (decoder.TakeVideoFrame(&frame))
            delivered.frames.push_back(frame);
        AudioChunk chunk;
        while (decoder.TakeAudio(&chunk)) {
            delivered.audioFrames += chunk.frames;
            delivered.chunks.push_back(chunk);
        }
    };
    QObject context;
    QObject::connect(&decoder, &PlaybackDecoder::DataAvailable, &context, pull);
    QObject::connect(&decoder, &PlaybackDecoder::EndOfRange, &context,
                     [&] { ++delivered.endNotices; });
    const bool ended =
        QTest::qWaitFor([&] { return delivered.endNotices > 0 && decoder.AtEnd(); }, 60000);
    pull();
    return ended;
}

} // namespace

class TestPlaybackDecoder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void playsExactlyTheRange_data();
    void playsExactlyTheRange();
    void soundOnlyClip();
    void queuesStayBounded();
    void soundFlowsWhilePicturesWait();
    void seekAndStop();
    void openRefused_data();
    void openRefused();
    void damagedClipEndsEarly();
    void destroyedWhileDecoding();

private:
    QTemporaryDir dir;
};

void TestPlaybackDecoder::initTestCase() {
    QVERIFY(dir.isValid());
}

void TestPlaybackDecoder::playsExactlyTheRange_data() {
    QTest::addColumn<QString>("container");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");

    for (const char* container : {"avi", "mov", "rm", "mpg"}) {
        QTest::addRow("%s 0.5 s to 1.5 s", container) << container << 0.5 << 1.0 << 48000 << 2;
        QTest::addRow("%s whole clip, mono 22050", container)
            << container << 0.0 << 0.0 << 22050 << 1;
    }
    QTest::newRow("avi between frames") << "avi" << 1.25 << 0.5 << 44100 << 2;
    QTest::newRow("avi past the end") << "avi" << 2.5 << 5.0 << 44100 << 2;
}

void TestPlaybackDecoder::playsExactlyTheRange() {
    QFETCH(QString, container);
    QFETCH(double, start);
    QFETCH(double, length);
    QFETCH(int, rate);
    QFETCH(int, channels);

    const IndexedClip clip = IndexedClip::Make(dir.path(), container);
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    PlaybackDecoder decoder;
    QVERIFY2(decoder.Open(clip.path), qPrintable(decoder.LastError()));
    QVERIFY(decoder.HasVideo() && decoder.HasAudio());
    decoder.SetVideoSize(QSize(80, 80));
    decoder.SetAudioFormat(rate, channels);
    QVERIFY(decoder.Play(start, length));
    Delivered delivered;
    QVERIFY(PullAll(decoder, &delivered));
    QCOMPARE(delivered.endNotices, 1);

    const double clipEnd = decoder.Duration();
    const double end = length > 0.0 ? std::min(start + length, clipEnd) : clipEnd;
    const double slack = 0.002;

    // Pictures: the one showing at start, then every following one up to the end, in order.
    QVERIFY(!delivered.frames.empty());
    const VideoFrame& first = delivered.frames.front();
    int expectedIndex = clip.FrameIndexOf(first.image);
    // (In an MPEG stream the picture clock may start a little after the clip's.)
    QVERIFY2((first.pts <= start + slack || expectedIndex == 0) &&
                 start < first.pts + first.duration + slack,
             qPrintable(QString::number(first.pts)));
    QVERIFY(expectedIndex >= 0);
    const QSize fitted = decoder.VideoSize().scaled(80, 80, Qt::KeepAspectRatio);
    for (const VideoFrame& frame : delivered.frames) {
        QCOMPARE(frame.image.size(), fitted);
        QCOMPARE(clip.FrameIndexOf(frame.image), expectedIndex++);
        QVERIFY2(frame.pts < end, qPrintable(QString::number(frame.pts)));
    }
    const VideoFrame& last = delivered.frames.back();
    QVERIFY2(last.pts + last.duration >= std::min(end, clip.Seconds()) - 1.0 / clip.fps - slack,
             qPrintable(QString::number(last.pts)));
    if (end < clip.Seconds() - 0.5)
        QVERIFY(last.pts + last.duration >= end - slack);

    // Sound: the range's length at the rate asked for, within one picture's time.
    QVERIFY(!delivered.chunks.empty());
    QVERIFY(qAbs(delivered.chunks.front().pts - start) < 1.0 / clip.fps);
    const double soundEnd = std::min(end, clip.Seconds());
    const double expectedSamples = (soundEnd - start) * rate;
    QVERIFY2(
        qAbs(delivered.audioFrames - expectedSamples) <= rate / clip.fps,
        qPrintable(
            QString("%1 samples, expected %2").arg(delivered.audioFrames).arg(expectedSamples)));
    double previousEnd = delivered.chunks.front().pts;
    for (const AudioChunk& chunk : delivered.chunks) {
        QCOMPARE(chunk.samples.size(), qsizetype(chunk.frames) * channels * 2);
        QVERIFY(qAbs(chunk.pts - previousEnd) < 0.005); // no gaps, no overlaps
        previousEnd = chunk.pts + double(chunk.frames) / rate;
    }
}

void TestPlaybackDecoder::soundOnlyClip() {
    MediaFixtures fixtures(dir.filePath("fixtures"));
    const QString path = fixtures.Make("wma");
    QVERIFY2(!path.isEmpty(), qPrintable(fixtures.LastError()));
    PlaybackDecoder decoder;
    QVERIFY(decoder.Open(path));
    QVERIFY(!decoder.HasVideo() && decoder.HasAudio());
    QVERIFY(decoder.VideoSize().isEmpty());
    QVERIFY(decoder.Play(0.5, 1.0));
    Delivered delivered;
    QVERIFY(PullAll(decoder, &delivered));
    QVERIFY(delivered.frames.empty());
    QVERIFY(qAbs(delivered.audioFrames - 44100) <= 44100 / 15);
}

void TestPlaybackDecoder::queuesStayBounded() {
    const IndexedClip clip = IndexedClip::Make(dir.path(), "mpg");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    PlaybackDecoder decoder;
    QVERIFY(decoder.Open(clip.path));
    QSignalSpy data(&decoder, &PlaybackDecoder::DataAvailable);
    QSignalSpy ended(&decoder, &PlaybackDecoder::EndOfRange);
    QVERIFY(decoder.Play(0.0, 0.0));
    QVERIFY(data.wait(10000));
    // Nobody pulls: the worker fills the queues and waits instead of decoding the rest.
    QTest::qWait(500);
    QVERIFY(decoder.QueuedVideoFrames() <= PlaybackDecoder::MaxQueuedFrames);
    QVERIFY(decoder.QueuedAudioSeconds() <= PlaybackDecoder::MaxQueuedAudioSeconds + 0.2);
    QCOMPARE(ended.count(), 0);
    QVERIFY(!decoder.AtEnd());
    // Announced once until someone pulls: no flood of notices.
    QVERIFY(data.count() <= 2);
}

void TestPlaybackDecoder::soundFlowsWhilePicturesWait() {
    // In this clip the sound lies behind the pictures in the file. A player that takes the
    // sound first (its clock) must get all of it while the pictures wait in their queue.
    const IndexedClip clip = IndexedClip::Make(dir.path(), "mpg");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    PlaybackDecoder decoder;
    QVERIFY(decoder.Open(clip.path));
    QVERIFY(decoder.Play(0.0, 0.0));
    double soundTaken = 0.0;
    AudioChunk chunk;
    QVERIFY(QTest::qWaitFor(
        [&] {
            while (decoder.TakeAudio(&chunk))
                soundTaken += double(chunk.frames) / decoder.AudioSampleRate();
            return soundTaken >= clip.Seconds() - 0.1;
        },
        10000));
    QVERIFY(decoder.QueuedVideoFrames() > PlaybackDecoder::MaxQueuedFrames);
    QVERIFY(decoder.QueuedVideoFrames() <= clip.frames);
}

void TestPlaybackDecoder::seekAndStop() {
    const IndexedClip clip = IndexedClip::Make(dir.path(), "avi");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    PlaybackDecoder decoder;
    QVERIFY(decoder.Open(clip.path));
    QSignalSpy ended(&decoder, &PlaybackDecoder::EndOfRange);
    QVERIFY(decoder.Play(0.0, 2.0));
    QTRY_VERIFY_WITH_TIMEOUT(decoder.QueuedVideoFrames() >= 2, 10000);

    // After a seek only pictures from the new time arrive, up to the old end.
    QVERIFY(decoder.Seek(1.55));
    Delivered delivered;
    QVERIFY(PullAll(decoder, &delivered));
    QCOMPARE(ended.count(), 1);
    QVERIFY(!delivered.frames.empty());
    QCOMPARE(clip.FrameIndexOf(delivered.frames.front().image), 15);
    QCOMPARE(clip.FrameIndexOf(delivered.frames.back().image), 19);
    QVERIFY(qAbs(delivered.chunks.front().pts - 1.55) < 0.01);

    // A stop drops what is queued and nothing more arrives, not even the end notice.
    QVERIFY(decoder.Play(0.0, 0.0));
    QTRY_VERIFY_WITH_TIMEOUT(decoder.QueuedVideoFrames() >= 1, 10000);
    decoder.Stop();
    QCOMPARE(decoder.QueuedVideoFrames(), 0);
    QCOMPARE(decoder.QueuedAudioSeconds(), 0.0);
    QTest::qWait(300);
    QCOMPARE(decoder.QueuedVideoFrames(), 0);
    QCOMPARE(ended.count(), 1);

    // Still usable.
    QVERIFY(decoder.Play(2.5, 0.2));
    Delivered tail;
    QVERIFY(PullAll(decoder, &tail));
    QCOMPARE(clip.FrameIndexOf(tail.frames.front().image), 25);
}

void TestPlaybackDecoder::openRefused_data() {
    QTest::addColumn<QString>("content"); // "" for no file at all
    QTest::addColumn<QString>("words");

    QTest::newRow("missing") << ""
                             << "does not exist";
    QTest::newRow("empty") << "<empty>"
                           << "empty";
    QTest::newRow("text") << "Not a film at all."
                          << "not a video or audio file";
    QTest::newRow("random bytes") << QString(QByteArray(4096, '\x5a').toHex()) << "not a video";
}

void TestPlaybackDecoder::openRefused() {
    QFETCH(QString, content);
    QFETCH(QString, words);

    const QString path = dir.filePath("bad \"$clip\" \u00e9.avi");
    QFile::remove(path);
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (content != "<empty>")
            file.write(content.toUtf8());
    }
    PlaybackDecoder decoder;
    QVERIFY(!decoder.Open(path));
    QVERIFY2(decoder.LastError().contains(words), qPrintable(decoder.LastError()));
    QVERIFY(!decoder.IsOpen());
    QVERIFY(!decoder.Play(0.0, 1.0));
    QVERIFY(!decoder.AtEnd());
}

void TestPlaybackDecoder::damagedClipEndsEarly() {
    // A clip cut off after a third of its length, and one with garbage in its middle.
    const IndexedClip clip = IndexedClip::Make(dir.path(), "avi");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    QFile source(clip.path);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    const QString cut = dir.filePath("cut.avi");
    const QString spoiled = dir.filePath("spoiled.avi");
    for (const QString& path : {cut, spoiled}) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        if (path == cut) {
            out.write(bytes.left(bytes.size() / 3));
        } else {
            QByteArray damaged = bytes;
            for (qsizetype i = damaged.size() / 2; i < damaged.size() / 2 + 2000; ++i)
                damaged[i] = char(i * 37);
            out.write(damaged);
        }
    }
    for (const QString& path : {cut, spoiled}) {
        PlaybackDecoder decoder;
        if (!decoder.Open(path)) {
            QVERIFY(!decoder.LastError().isEmpty());
            continue;
        }
        QVERIFY(decoder.Play(0.0, 0.0));
        Delivered delivered;
        QVERIFY(PullAll(decoder, &delivered));
        QVERIFY(!delivered.frames.empty());
        for (const VideoFrame& frame : delivered.frames)
            QVERIFY(!frame.image.isNull());
    }
}

void TestPlaybackDecoder::destroyedWhileDecoding() {
    const IndexedClip clip = IndexedClip::Make(dir.path(), "mov");
    QVERIFY2(clip.error.isEmpty(), qPrintable(clip.error));
    auto decoder = std::make_unique<PlaybackDecoder>();
    QVERIFY(decoder->Open(clip.path));
    QSignalSpy data(decoder.get(), &PlaybackDecoder::DataAvailable);
    QVERIFY(decoder->Play(0.0, 0.0));
    QVERIFY(data.wait(10000));
    // The worker now waits on full queues; destruction must wake and end it.
    decoder.reset();
    // Notices already posted by the worker must not reach the dead object.
    QTest::qWait(100);
}

QTEST_GUILESS_MAIN(TestPlaybackDecoder)
#include "tst_playback_decoder.moc"
