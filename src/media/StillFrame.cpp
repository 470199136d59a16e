#include "media/StillFrame.h"

#include "media/MediaDecoder.h"

#include <algorithm>
#include <cmath>

StillFrame GrabStill(const QString& path, double time, QSize box) {
    StillFrame still;
    if (!std::isfinite(time)) {
        still.error = QStringLiteral("The still's time is not a number.");
        return still;
    }
    MediaDecoder decoder;
    if (!decoder.Open(path, MediaDecoder::Streams::VideoOnly)) {
        still.error = decoder.LastError();
        return still;
    }
    time = std::max(0.0, time);
    decoder.SeekBefore(time);

    // Keep the latest frame that starts by `time`; the first one after it ends the search.
    // Stamps rounded to milliseconds (RealMedia) still count as on time.
    MediaDecoder::Decoded best;
    for (;;) {
        MediaDecoder::Decoded decoded = decoder.DecodeNext();
        if (decoded.kind == MediaDecoder::Kind::End)
            break;
        if (decoded.kind != MediaDecoder::Kind::Video)
            continue;
        if (best.frame != nullptr && decoded.pts > time + 0.001)
            break;
        best = std::move(decoded);
        if (best.pts > time + 0.001)
            break; // the clip's first picture starts after `time`
    }
    if (best.frame == nullptr) {
        still.error = QStringLiteral("No picture could be decoded at %1 s.").arg(time, 0, 'f', 3);
        return still;
    }
    still.image = decoder.ScaleVideo(best.frame.get(), box);
    if (still.image.isNull()) {
        still.error = QStringLiteral("The picture could not be converted.");
        return still;
    }
    still.pts = best.pts;
    still.duration = best.duration;
    still.ok = true;
    return still;
}
