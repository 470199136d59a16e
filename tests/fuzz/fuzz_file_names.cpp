// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the file name encoding (built with -DMORVANE_FUZZ=ON and clang; see
// docs/ARCHITECTURE.md). Each input is read twice: as a file name's bytes and as UTF-16 text.
#include "media/FileNames.h"

#include <QStringDecoder>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

bool IsValidUtf16(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return false;
    }
    return true;
}

// Bytes as a name: every byte sequence decodes to a name that encodes back to it, and a name
// of valid UTF-8 is exactly what Qt reads (a U+FEFF at the start included).
void CheckBytes(QByteArrayView bytes) {
    const QString name = DecodeFileName(bytes);
    Require(EncodeFileName(name) == bytes, "Encode(Decode(bytes)) == bytes");
    const QString shown = DisplayFileName(name);
    Require(shown.size() == name.size() && IsValidUtf16(shown), "Display gives valid text");
    const bool valid = QByteArray(bytes.data(), bytes.size()).isValidUtf8();
    Require(QtReachesFileName(name) == valid, "kept bytes exactly when the bytes are not UTF-8");
    if (valid) {
        QStringDecoder qt(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
        Require(name == QString(qt(bytes)), "valid UTF-8 decodes as Qt decodes it");
        Require(shown == name, "a valid name is shown as it is");
    }
}

// UTF-16 text as a name: valid Unicode encodes to its UTF-8 and comes back unchanged; any
// text at all encodes to bytes that name one file (encoding them again gives the same bytes).
void CheckText(QStringView text) {
    const QString name = text.toString();
    const QByteArray bytes = EncodeFileName(name);
    Require(EncodeFileName(DecodeFileName(bytes)) == bytes,
            "Encode(Decode(Encode(s))) == Encode(s)");
    if (IsValidUtf16(text)) {
        Require(bytes == name.toUtf8(), "valid text encodes to its UTF-8");
        Require(DecodeFileName(bytes) == name, "Decode(Encode(s)) == s for valid text");
        Require(QtReachesFileName(name), "valid text has no kept byte");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    CheckText(QStringView(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2)));
    return 0;
}
