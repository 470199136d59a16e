// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EncoderOutputParser.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal real number at the start of text: leading blanks, a sign, digits, a fraction and
// an exponent. Reading stops at the first character that cannot continue it; no digits give 0.
// Written out because the C library's reader follows the user's locale.
// Skips leading blanks and a sign; returns whether the sign was "-".
bool SkipBlanksAndSign(QByteArrayView text, qsizetype& i) {
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return text[i++] == '-';
    return false;
}

double ReadReal(QByteArrayView text) {
    qsizetype i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    double value = 0.0;
    bool digits = false;
    for (; i < text.size() && IsDigit(text[i]); ++i, digits = true)
        value = value * 10.0 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10.0, digits = true)
            value += (text[i] - '0') * scale;
    }
    if (!digits)
        return 0.0;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (text[j] == '+' || text[j] == '-')
            negativeExponent = text[j++] == '-';
        if (j < text.size() && IsDigit(text[j])) {
            int exponent = 0;
            for (; j < text.size() && IsDigit(text[j]); ++j)
                exponent = std::min(exponent * 10 + (text[j] - '0'), 400);
            value *= std::pow(10.0, negativeExponent ? -exponent : exponent);
        }
    }
    return negative ? -value : value;
}

// A decimal integer at the start of text (leading blanks, a sign, digits); no digits give 0.
int ReadInt(QByteArrayView text, qsizetype* end = nullptr) {
    qsizetype i = 0;
    const bool negative = SkipBlanksAndSign(text, i);
    qint64 value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        value = std::min<qint64>(value * 10 + (text[i] - '0'), std::numeric_limits<int>::max());
    if (end != nullptr)
        *end = i;
    return static_cast<int>(negative ? -value : value);
}

// The part of text after key, when key is in text.
std::optional<QByteArrayView> After(QByteArrayView text, QByteArrayView key) {
    const qsizetype at = text.indexOf(key);
    if (at < 0)
        return std::nullopt;
    return text.sliced(at + key.size());
}

// A size that the fixed width cannot take but whose unit shows that it is complete.
std::optional<int> ReadSizeWithUnit(QByteArrayView rest) {
    qsizetype end = 0;
    const int value = ReadInt(rest, &end);
    if (end == 0 || !IsDigit(rest[end - 1]))
        return std::nullopt;
    const QByteArrayView unit = rest.sliced(end);
    if (unit.startsWith("kB") || unit.startsWith("KiB"))
        return value;
    return std::nullopt;
}

// "hh:mm:ss.xx" as seconds. nullopt with isClock set when the text has the form but is cut by
// the end of the chunk; isClock false when the text is not a clock time at all.
std::optional<double> ReadClockTime(QByteArrayView rest, bool& isClock) {
    qsizetype i = 0;
    const bool negative = i < rest.size() && rest[i] == '-';
    if (negative)
        ++i;
    const qsizetype hoursStart = i;
    while (i < rest.size() && IsDigit(rest[i]))
        ++i;
    isClock = i > hoursStart && i < rest.size() && rest[i] == ':';
    if (!isClock)
        return std::nullopt;
    const double hours = ReadReal(rest.sliced(hoursStart, i - hoursStart));
    ++i;
    const qsizetype minutesStart = i;
    while (i < rest.size() && IsDigit(rest[i]))
        ++i;
    if (i == minutesStart || i >= rest.size() || rest[i] != ':')
        return std::nullopt;
    const double minutes = ReadReal(rest.sliced(minutesStart, i - minutesStart));
    ++i;
    const qsizetype secondsStart = i;
    while (i < rest.size() && (IsDigit(rest[i]) || rest[i] == '.'))
        ++i;
    // The seconds must be followed by something, or the chunk may have cut their digits.
    if (i == secondsStart || i >= rest.size())
        return std::nullopt;
    const double seconds = ReadReal(rest.sliced(secondsStart, i - secondsStart));
    const double total = hours * 3600.0 + minutes * 60.0 + seconds;
    return negative ? -total : total;
}

} // namespace

void ParseEncoderOutput(QByteArrayView chunk, Job& job, quint32 elapsedMs) {
    // The chunk is text: it ends at its first zero byte.
    if (const qsizetype zero = chunk.indexOf('\0'); zero >= 0)
        chunk = chunk.first(zero);

    if (const auto rest = After(chunk, "frame="); rest && rest->size() >= 6) {
        const double frames = ReadReal(rest->first(6));
        job.framesPerSecond = elapsedMs == 0 ? 0.0 : frames * 1000.0 / elapsedMs;
    }

    if (const auto rest = After(chunk, "size=")) {
        if (rest->size() >= 8)
            job.sizeKB = ReadInt(rest->first(8));
        else if (const auto size = ReadSizeWithUnit(*rest))
            job.sizeKB = *size;
    }

    if (const auto rest = After(chunk, "time="); rest && rest->size() >= 4) {
        bool isClock = false;
        const auto clock = ReadClockTime(*rest, isClock);
        if (clock)
            job.encodedTime = *clock;
        else if (!isClock)
            job.encodedTime = ReadReal(rest->first(std::min<qsizetype>(5, rest->size())));
    }
}
