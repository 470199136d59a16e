// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "media/AVPointers.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <deque>
#include <memory>

// Decodes one media file with the FFmpeg libraries: the first picture stream and the first
// sound stream, from any time on. The building block of stills (GrabStill) and playback
// (PlaybackDecoder); one object is used by one thread at a time.
//
// Times are clip times in seconds: 0 is the clip's start as players show it, whatever the
// container's first time stamp is.
class MediaDecoder {
public:
    enum class Streams { VideoOnly, AudioOnly, Both };
    enum class Kind { Video, Audio, End };

    struct Decoded {
        Kind kind = Kind::End;
        AVFramePtr frame;
        double pts = 0.0;      // the frame's start
        double duration = 0.0; // how long it shows or sounds
    };

    MediaDecoder();
    ~MediaDecoder();
    MediaDecoder(const MediaDecoder&) = delete;
    MediaDecoder& operator=(const MediaDecoder&) = delete;

    // Opens the file and the decoders of the streams asked for (those the file has). Fails
    // with a message for a missing, unreadable, empty or non-media file, or one that has none
    // of the streams asked for.
    Result<void> Open(const QString& path, Streams streams = Streams::Both);

    bool HasVideo() const { return videoCodec != nullptr; }
    bool HasAudio() const { return audioCodec != nullptr; }
    double Duration() const { return duration; }
    // The picture's size as shown (sample aspect and rotation applied), or an empty size.
    QSize DisplaySize() const;
    // How far the picture is turned clockwise to show it upright: 0, 90, 180 or 270 degrees
    // (a phone's rotation flag).
    int Rotation() const { return rotation; }
    // The nominal time between frames (1/25 s when the file does not say).
    double FrameInterval() const { return frameInterval; }

    // Positions the decoders so that the next frames start at or before time: at a key
    // frame before it, stepping further back where the container's index is coarse. The
    // frames before time are still delivered; callers drop what they do not need.
    void SeekBefore(double time);

    // The next decoded frame of either stream in decoding order, or End after the last.
    // Damaged data is skipped.
    Decoded DecodeNext();
    // While on, pictures that no other picture refers to are not decoded at all (a still
    // passes them on its way from the key frame to its time). Applies to the packets sent
    // from now on.
    void SkipUnreferencedPictures(bool skip);

    // A picture scaled to fit box with its shape kept (no bars), as Format_RGB32; the
    // stream's pixel aspect and rotation applied, as players show it.
    QImage ScaleVideo(const AVFrame* frame, QSize box);

    // Sound converted to interleaved signed 16-bit samples at rate and channels.
    // firstPts is the time of the first returned sample.
    QByteArray ConvertAudio(const AVFrame* frame, double pts, int rate, int channels,
                            double* firstPts);
    // The samples still held by the converter (at the end of a range), after the last chunk.
    QByteArray FlushAudio(double* firstPts);

private:
    void Close();
    Decoded Receive(AVCodecContext* codec, Kind kind);
    void SeekTo(double time);
    void SeekToStart(double time);
    bool DecodeToReference(std::deque<Decoded>& seen, double* pts);
    void ResetAudioConverter();

    // In this order, so that the converters and codecs are freed before the file they read.
    AVFormatInputPtr format;
    AVCodecContextPtr videoCodec;
    AVCodecContextPtr audioCodec;
    AVPacketPtr packet;
    SwsContextPtr scaler;
    SwrContextPtr resampler;
    int videoStream = -1;
    int audioStream = -1;
    double startOffset = 0.0; // container time of clip time 0
    double duration = 0.0;
    double frameInterval = 0.04;
    int rotation = 0;
    bool inputEnded = false;
    double lastVideoPts = -1.0;
    double lastAudioEnd = -1.0;
    // Frames decoded while checking a seek, handed out before any new ones.
    std::deque<Decoded> pending;

    int resampleRate = 0;
    int resampleChannels = 0;
    int resampleInRate = 0;
    int resampleInFormat = -1;
    int resampleInChannels = 0;
    double resampleNextPts = 0.0;
};
