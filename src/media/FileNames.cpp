// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/FileNames.h"

#include <algorithm>

namespace {

constexpr char16_t KeptByteBase = 0xDC00;

bool IsKeptByte(QChar c) {
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

// The length of the valid UTF-8 sequence at bytes[i], or 0 when there is none.
qsizetype Utf8SequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto byte = [&bytes](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (qsizetype k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

} // namespace

QString DecodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = Utf8SequenceAt(bytes, i);
        if (length == 0) {
            name += QChar(char16_t(KeptByteBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(i, length));
        i += length;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype run = 0; // start of the run of ordinary characters not yet encoded
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && !IsKeptByte(name.at(i)))
            continue;
        bytes += QStringView(name).sliced(run, i - run).toUtf8();
        if (i < name.size())
            bytes += char(name.at(i).unicode() - KeptByteBase);
        run = i + 1;
    }
    return bytes;
}

bool QtReachesFileName(const QString& name) {
    return std::none_of(name.cbegin(), name.cend(), IsKeptByte);
}

QString DisplayFileName(const QString& name) {
    QString shown = name;
    for (QChar& c : shown) {
        if (IsKeptByte(c))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}
