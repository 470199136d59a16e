// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

// Owning pointers for the FFmpeg objects of media/: each frees its object the way the library
// asks (the close or free call that also clears what the object holds). Nothing in media/ frees
// one by hand.
struct AVFormatInputDeleter {
    void operator()(AVFormatContext* context) const;
};
struct AVCodecContextDeleter {
    void operator()(AVCodecContext* context) const;
};
struct AVFrameDeleter {
    void operator()(AVFrame* frame) const;
};
struct AVPacketDeleter {
    void operator()(AVPacket* packet) const;
};
struct SwsContextDeleter {
    void operator()(SwsContext* context) const;
};
struct SwrContextDeleter {
    void operator()(SwrContext* context) const;
};

// A demuxer opened with avformat_open_input.
using AVFormatInputPtr = std::unique_ptr<AVFormatContext, AVFormatInputDeleter>;
using AVCodecContextPtr = std::unique_ptr<AVCodecContext, AVCodecContextDeleter>;
using AVFramePtr = std::unique_ptr<AVFrame, AVFrameDeleter>;
using AVPacketPtr = std::unique_ptr<AVPacket, AVPacketDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;

// avformat_open_input into an owning pointer: the libavformat result (negative on failure, and
// then the pointer is empty).
int OpenFormatInput(const char* url, AVFormatInputPtr& context);

// The libraries' text for an error code (a negative AVERROR).
QString AvErrorText(int code);
