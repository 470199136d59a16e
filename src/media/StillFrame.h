// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QDateTime>
#include <QImage>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class MediaDecoder;
class QThread;

// One picture of a clip, as GrabStill returns it.
struct StillFrame {
    QImage image;     // Format_RGB32, scaled into the box asked for with its shape kept
    double pts = 0.0; // clip time in seconds at which this picture starts to show
    double duration = 0.0;
};
Q_DECLARE_METATYPE(StillFrame)

// The picture that shows at `time` seconds of the clip: decoded from the key frame before
// it up to the frame whose time span holds `time` (a time past the last frame gives the
// last frame, a time before the first picture the first picture). It is scaled to fit `box`
// keeping the picture's shape (no bars added); an empty box keeps the picture's own display
// size.
//
// Blocks while it opens and decodes (a few milliseconds for small clips, up to a second
// for a long group of pictures in HD). Each call opens its own decoder, so calls may run on
// any thread, several at once.
// Fails with why there is no picture.
Result<StillFrame> GrabStill(const QString& path, double time, QSize box = QSize());

// The same with a decoder already opened for pictures. `abandoned`, when given, is asked
// between decoded frames; once it says true the grab ends with an error.
Result<StillFrame> GrabStill(MediaDecoder& decoder, double time, QSize box,
                             const std::function<bool()>& abandoned = {});

// Grabs stills on a worker thread for a user interface, where only the latest request
// matters: a new request replaces one that waits and abandons one being decoded, and only
// the latest request's result is delivered (StillReady or StillFailed, on the owner's
// thread). The file's decoder is kept open between requests for the same unchanged file,
// so steps through one clip do not open it again.
class StillWorker : public QObject {
    Q_OBJECT
public:
    explicit StillWorker(QObject* parent = nullptr);
    // Ends the worker (it leaves within one decoded frame).
    ~StillWorker() override;

    // Asks for the picture at `time` of `path`, scaled into `box`. Returns at once.
    void Request(const QString& path, double time, QSize box);
    // Forgets every request: none of them is delivered.
    void Cancel();
    // A request waits or is being decoded, and its result has not been delivered yet.
    bool Busy() const { return busy; }

signals:
    void StillReady(const StillFrame& still);
    void StillFailed(const QString& reason);

private:
    struct Job {
        quint64 number = 0;
        QString path;
        double time = 0.0;
        QSize box;
    };

    void Run();
    Result<StillFrame> Grab(const Job& job);

    bool busy = false;
    // Standard primitives, which a thread checker can follow through the wait.
    mutable std::mutex mutex;
    std::condition_variable_any wake;
    bool quit = false;
    bool jobPending = false;
    Job nextJob;
    std::atomic<quint64> latest{0}; // the request that is still wanted

    // Worker side: the decoder of the last file, while that file is unchanged.
    std::unique_ptr<MediaDecoder> decoder;
    QString decoderPath;
    QDateTime decoderModified;
    qint64 decoderSize = -1;

    QThread* worker = nullptr;
};
