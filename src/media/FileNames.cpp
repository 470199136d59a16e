// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/FileNames.h"

namespace {

constexpr char16_t KeptByteBase = 0xDC00;

// The code point of the valid UTF-8 sequence at bytes[i] and its length; length 0 when there
// is none (a stray byte, a cut sequence, an overlong form, a surrogate, past U+10FFFF).
struct Utf8Sequence {
    char32_t code = 0;
    qsizetype length = 0;
};

Utf8Sequence Utf8SequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto byte = [&bytes](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return {lead, 1};
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
        return {};
    }
    if (i + length > bytes.size())
        return {};
    for (qsizetype k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return {};
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (overlong || surrogate || code > 0x10FFFF)
        return {};
    return {code, length};
}

void AppendUtf8(QByteArray& bytes, char32_t code) {
    if (code < 0x80) {
        bytes += char(code);
    } else if (code < 0x800) {
        bytes += char(0xC0 | code >> 6);
        bytes += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += char(0xE0 | code >> 12);
        bytes += char(0x80 | (code >> 6 & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    } else {
        bytes += char(0xF0 | code >> 18);
        bytes += char(0x80 | (code >> 12 & 0x3F));
        bytes += char(0x80 | (code >> 6 & 0x3F));
        bytes += char(0x80 | (code & 0x3F));
    }
}

// One character of a name: a code point, a kept byte, or a lone surrogate that no name holds.
struct NameUnit {
    enum class Kind { CodePoint, KeptByte, LoneSurrogate } kind = Kind::CodePoint;
    char32_t value = 0;   // the code point, or the kept byte
    qsizetype length = 1; // UTF-16 units
};

// A low surrogate counts as a kept byte only when it is alone: after a high surrogate it is
// the second half of a character outside the Basic Multilingual Plane.
NameUnit NameUnitAt(QStringView name, qsizetype i) {
    const QChar c = name[i];
    if (c.isHighSurrogate() && i + 1 < name.size() && name[i + 1].isLowSurrogate())
        return {NameUnit::Kind::CodePoint, QChar::surrogateToUcs4(c, name[i + 1]), 2};
    if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF)
        return {NameUnit::Kind::KeptByte, char32_t(c.unicode() - KeptByteBase), 1};
    if (c.isSurrogate())
        return {NameUnit::Kind::LoneSurrogate, c.unicode(), 1};
    return {NameUnit::Kind::CodePoint, c.unicode(), 1};
}

template <typename Visit> void ForEachUnit(QStringView name, Visit visit) {
    for (qsizetype i = 0; i < name.size();) {
        const NameUnit unit = NameUnitAt(name, i);
        visit(unit, i);
        i += unit.length;
    }
}

} // namespace

// Code points are decoded here, one by one: QString::fromUtf8 drops a U+FEFF at the start of
// what it is given.
QString DecodeFileName(QByteArrayView bytes) {
    QString name;
    name.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const Utf8Sequence sequence = Utf8SequenceAt(bytes, i);
        if (sequence.length == 0) {
            name += QChar(char16_t(KeptByteBase + static_cast<unsigned char>(bytes[i])));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(sequence.code)) {
            name += QChar(QChar::highSurrogate(sequence.code));
            name += QChar(QChar::lowSurrogate(sequence.code));
        } else {
            name += QChar(char16_t(sequence.code));
        }
        i += sequence.length;
    }
    return name;
}

QByteArray EncodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    ForEachUnit(name, [&bytes](const NameUnit& unit, qsizetype) {
        switch (unit.kind) {
        case NameUnit::Kind::CodePoint:
            AppendUtf8(bytes, unit.value);
            break;
        case NameUnit::Kind::KeptByte:
            bytes += char(unit.value);
            break;
        case NameUnit::Kind::LoneSurrogate:
            AppendUtf8(bytes, QChar::ReplacementCharacter); // as Qt writes it
            break;
        }
    });
    return bytes;
}

bool QtReachesFileName(const QString& name) {
    bool reaches = true;
    ForEachUnit(name, [&reaches](const NameUnit& unit, qsizetype) {
        reaches = reaches && unit.kind != NameUnit::Kind::KeptByte;
    });
    return reaches;
}

QString DisplayFileName(const QString& name) {
    QString shown = name;
    ForEachUnit(name, [&shown](const NameUnit& unit, qsizetype i) {
        if (unit.kind != NameUnit::Kind::CodePoint)
            shown[i] = QChar::ReplacementCharacter;
    });
    return shown;
}
