// SPDX-License-Identifier: GPL-3.0-or-later
// Prints figures of the media control in the page's 263x198 preview:
// 1. stills as the page asks for them (RequestStill; a row change also reads the clip's length
//    for the slider first), for a 640x480 MPEG-4 AVI and a 1080p H.264 clip with a key frame
//    every 250 frames: the time from the request until the picture has been painted (targets:
//    under 100 ms and under 1.5 s), and the longest the UI thread's event loop stalled
//    meanwhile (target: under 50 ms), seen by a 2 ms timer;
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

// 20 s of 1080p H.264 at 25 fps with key frames at 0 and 10 s only, as cameras and phones make.
QString MakeLongGopClip(const QString& folder) {
    const QString path = folder + QStringLiteral("/bench_1080p.mp4");
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ffmpeg", {"-v",
                            "error",
                            "-nostdin",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            "testsrc2=size=1920x1080:rate=25:duration=20",
                            "-f",
                            "lavfi",
                            "-i",
                            "sine=duration=20",
                            "-c:v",
                            "libx264",
                            "-preset",
                            "veryfast",
                            "-g",
                            "250",
                            "-keyint_min",
                            "250",
                            "-sc_threshold",
                            "0",
                            "-pix_fmt",
                            "yuv420p",
                            "-c:a",
                            "aac",
                            path});
    if (!ffmpeg.waitForFinished(600000) || ffmpeg.exitCode() != 0) {
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
    QObject::connect(&edit, &CVideoEdit::StillFailed, &loop, &QEventLoop::quit);
    // The event loop's stalls: the longest gap between two ticks of a 2 ms timer.
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceTick;
    double longestStall = 0.0;
    QObject::connect(&ticker, &QTimer::timeout, &edit, [&] {
        longestStall = std::max(longestStall, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.start();
    });
    const auto measureStills = [&](const QString& clip, const QString& title, double length,
                                   bool rowChange) {
        edit.GetClipLength(clip); // a file just added has been read once already
        std::vector<double> stills;
        std::vector<double> stalls;
        for (int i = 0; i < 31; ++i) {
            // Anywhere in a group of pictures, up to the clip's end.
            const double at = i == 0 ? 1.0 : std::fmod(0.37 + (i - 1) * 0.9487, length - 0.1);
            QElapsedTimer timer;
            timer.start();
            longestStall = 0.0;
            sinceTick.start();
            ticker.start(2);
            if (rowChange)
                edit.GetClipLength(clip); // LoadJob sets the slider's limits first
            edit.RequestStill(clip, at);
            guard.start(20000);
            loop.exec();
            guard.stop();
            ticker.stop();
            if (watch.armed || !edit.LastError().isEmpty()) {
                out << "no picture at " << at << " s: " << edit.LastError() << "\n";
                return false;
            }
            if (i == 0)
                continue; // the first request warms the decoder's code and the file cache
            stills.push_back(timer.nsecsElapsed() / 1e6);
            stalls.push_back(longestStall);
        }
        out << "still of " << title << " in 263x198, " << stills.size() << " "
            << (rowChange ? "row changes" : "thumb releases") << ":\n"
            << "  request to picture painted: " << Stats(stills, "ms") << "\n"
            << "  longest event-loop stall per request: " << Stats(stalls, "ms") << "\n";
        return true;
    };
    const QString hd = MakeLongGopClip(dir.path());
    if (hd.isEmpty())
        return 1;
    {
        // What the machine itself costs: the same watch for 3 s with nothing asked for.
        std::vector<double> idle;
        for (int i = 0; i < 30; ++i) {
            longestStall = 0.0;
            sinceTick.start();
            ticker.start(2);
            guard.start(100);
            loop.exec();
            ticker.stop();
            idle.push_back(longestStall);
        }
        out << "event-loop stalls with nothing asked for, per 100 ms: " << Stats(idle, "ms")
            << "\n";
    }
    const QString avi = QStringLiteral("a 640x480 MPEG-4 AVI (key frame every 25 frames)");
    const QString h264 = QStringLiteral("a 1080p H.264 clip (key frame every 250 frames)");
    if (!measureStills(path, avi, 30.0, false) || !measureStills(path, avi, 30.0, true) ||
        !measureStills(hd, h264, 20.0, false) || !measureStills(hd, h264, 20.0, true))
        return 1;
    out.flush();

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
