// SPDX-License-Identifier: GPL-3.0-or-later
// Prints how long a still takes from the request to a decoded, scaled picture, for a
// 640x480 MPEG-4 AVI: the file opened, the key frame before the time found, the frames up to
// the time decoded and the picture scaled for the preview window. Target: under 100 ms.
#include "media/StillFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

QString MakeClip(const QString& folder, int keyInterval) {
    const QString path = folder + QStringLiteral("/bench_gop%1.avi").arg(keyInterval);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ffmpeg", {"-v",       "error",
                            "-nostdin", "-y",
                            "-f",       "lavfi",
                            "-i",       "testsrc=size=640x480:rate=25:duration=20",
                            "-f",       "lavfi",
                            "-i",       "sine=duration=20",
                            "-c:v",     "mpeg4",
                            "-q:v",     "4",
                            "-g",       QString::number(keyInterval),
                            "-c:a",     "libmp3lame",
                            "-f",       "avi",
                            path});
    if (!ffmpeg.waitForFinished(300000) || ffmpeg.exitCode() != 0) {
        QTextStream(stderr) << "ffmpeg failed: " << ffmpeg.readAll() << "\n";
        return {};
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QTextStream out(stdout);
    const QSize box(348, 242); // the preview window
    out << "still of a 640x480 MPEG-4 AVI scaled into " << box.width() << "x" << box.height()
        << ", 40 requests at times spread over 20 s\n";
    for (int keyInterval : {12, 250}) {
        const QString path = MakeClip(dir.path(), keyInterval);
        if (path.isEmpty())
            return 1;
        (void)GrabStill(path, 0.0, box); // warm the file cache, as a file just added would be
        std::vector<double> times;
        for (int i = 0; i < 40; ++i) {
            const double at = 0.37 + i * 0.4897; // lands anywhere within a group of pictures
            QElapsedTimer timer;
            timer.start();
            const Result<StillFrame> still = GrabStill(path, at, box);
            times.push_back(timer.nsecsElapsed() / 1e6);
            if (!still) {
                out << "failed: " << still.error() << "\n";
                return 1;
            }
        }
        std::sort(times.begin(), times.end());
        double sum = 0.0;
        for (double t : times)
            sum += t;
        out << QString("key frame every %1 frames: median %2 ms, mean %3 ms, max %4 ms\n")
                   .arg(keyInterval, 3)
                   .arg(times[times.size() / 2], 0, 'f', 1)
                   .arg(sum / times.size(), 0, 'f', 1)
                   .arg(times.back(), 0, 'f', 1);
    }
    return 0;
}
