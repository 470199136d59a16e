// Prints two figures of the media control for a 640x480 MPEG-4 AVI in the page's 263x198
// preview:
// 1. the time from a still request (the page's sequence: GetClipLength, CloseClip,
//    SetBitsPerPixel, OpenClipRange, Play; stop at the first position event) until the
//    picture has been painted; target under 100 ms;
// 2. how far playback drifts from the wall clock over 10 s with the silent clock: for each
//    picture, |(pts - start) - time since the first picture|; target under one frame (40 ms).
#include "preview/CVideoEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QString MakeClip(const QString& folder) {
    const QString path = folder + QStringLiteral("/bench_640x480.avi");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ffmpeg", {"-v",   "error", "-nostdin", "-y",
                            "-f",   "lavfi", "-i",       "testsrc=size=640x480:rate=25:duration=30",
                            "-f",   "lavfi", "-i",       "sine=duration=30",
                            "-c:v", "mpeg4", "-q:v",     "4",
                            "-g",   "25",    "-c:a",     "libmp3lame",
                            "-f",   "avi",   path});
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0) {
        QTextStream(stderr) << "ffmpeg failed: " << ffmpeg.readAll() << "\n";
        return {};
    }
    return path;
}

// Quits a loop once the widget has finished a paint.
class PaintWatch : public QObject {
public:
    bool armed = false;
    QEventLoop* loop = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (armed && event->type() == QEvent::Paint) {
            armed = false;
            // Queued: runs after the paint event has been handled.
            QTimer::singleShot(0, loop, &QEventLoop::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

QString Stats(std::vector<double> values, const char* unit) {
    std::sort(values.begin(), values.end());
    double sum = 0.0;
    for (double v : values)
        sum += v;
    return QString("median %1 %5, mean %2 %5, 95th percentile %3 %5, max %4 %5")
        .arg(values[values.size() / 2], 0, 'f', 1)
        .arg(sum / double(values.size()), 0, 'f', 1)
        .arg(values[values.size() * 95 / 100], 0, 'f', 1)
        .arg(values.back(), 0, 'f', 1)
        .arg(unit);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    const QString path = MakeClip(dir.path());
    if (path.isEmpty())
        return 1;

    CVideoEdit edit;
    edit.resize(263, 198);
    edit.SetSoundEnabled(qEnvironmentVariableIsSet("BENCH_SOUND"));
    edit.show();
    QEventLoop loop;
    PaintWatch watch;
    watch.loop = &loop;
    edit.installEventFilter(&watch);
    // One guard for every wait, so no stale time-out ends a later one.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(200); // the window's first paint
    loop.exec();

    // 1. Stills.
    bool stopOnPosition = true;
    QObject::connect(&edit, &CVideoEdit::OnPlayPosition, &edit, [&] {
        if (stopOnPosition) {
            edit.StopPlayback();
            watch.armed = true; // the picture is painted next
        }
    });
    edit.GetClipLength(path); // a file just added has been read once already
    std::vector<double> stills;
    std::vector<double> calls;
    for (int i = 0; i < 31; ++i) {
        const double at = i == 0 ? 1.0 : 0.37 + (i - 1) * 0.9487; // anywhere in a group of pictures
        QElapsedTimer timer;
        timer.start();
        const double length = edit.GetClipLength(path);
        edit.CloseClip();
        edit.SetBitsPerPixel(24);
        if (!edit.OpenClipRange(path, at <= length ? at : 1.0, 1.0, 0) || !edit.Play()) {
            out << "failed: " << edit.LastError() << "\n";
            return 1;
        }
        const double called = timer.nsecsElapsed() / 1e6;
        guard.start(10000);
        loop.exec();
        guard.stop();
        if (watch.armed || edit.IsPlaying()) {
            out << "no picture at " << at << " s\n";
            return 1;
        }
        if (i == 0)
            continue; // the first request warms the decoder's code and the file cache
        stills.push_back(timer.nsecsElapsed() / 1e6);
        calls.push_back(called);
    }
    out << "still of a 640x480 MPEG-4 AVI (key frame every 25 frames) in 263x198, " << stills.size()
        << " requests over 30 s:\n"
        << "  request to picture painted: " << Stats(stills, "ms") << "\n"
        << "  of which the calls up to Play returning: " << Stats(calls, "ms") << "\n";

    // 2. Drift over 10 s of playback.
    stopOnPosition = false;
    const double start = 4.0;
    std::vector<double> drift;
    int pictures = 0;
    QElapsedTimer sinceFirst;
    QObject::connect(&edit, &CVideoEdit::OnPlayPosition, &edit, [&](double pts) {
        if (pictures++ == 0)
            sinceFirst.start();
        drift.push_back(std::abs((pts - start) - sinceFirst.nsecsElapsed() / 1e9) * 1000.0);
    });
    QElapsedTimer whole;
    QObject::connect(&edit, &CVideoEdit::PlaybackFinished, &loop, &QEventLoop::quit);
    edit.CloseClip();
    edit.OpenClipRange(path, start, 10.0, 0);
    whole.start();
    edit.Play();
    guard.start(30000);
    loop.exec();
    guard.stop();
    const double played = sinceFirst.nsecsElapsed() / 1e9;
    out << "playback of 10 s (250 pictures at 25 fps), silent clock:\n"
        << "  pictures shown: " << pictures << ", ended " << QString::number(played, 'f', 3)
        << " s after the first picture (" << QString::number(whole.nsecsElapsed() / 1e9, 'f', 3)
        << " s after Play)\n"
        << "  |picture time - wall clock|: " << Stats(drift, "ms") << "\n";
    return 0;
}
