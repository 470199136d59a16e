// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/AVPointers.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <array>

void AVFormatInputDeleter::operator()(AVFormatContext* context) const {
    avformat_close_input(&context);
}

void AVCodecContextDeleter::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}

void AVFrameDeleter::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void AVPacketDeleter::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

void SwsContextDeleter::operator()(SwsContext* context) const {
    sws_freeContext(context);
}

void SwrContextDeleter::operator()(SwrContext* context) const {
    swr_free(&context);
}

int OpenFormatInput(const char* url, AVFormatInputPtr& context) {
    AVFormatContext* opened = nullptr;
    const int result = avformat_open_input(&opened, url, nullptr, nullptr);
    context.reset(opened);
    return result;
}

QString AvErrorText(int code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return QString::fromLocal8Bit(text.data());
}
