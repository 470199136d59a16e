// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names as the system stores them: bytes, which need not be valid UTF-8. Qt decodes such
// bytes with replacement characters and cannot find the file again; these functions keep every
// byte: a byte that is not part of valid UTF-8 becomes a lone low surrogate U+DC80..U+DCFF (one
// not after a high surrogate, so never half of a character outside the Basic Multilingual
// Plane), and back. Encode(Decode(bytes)) == bytes for any bytes; a name of valid Unicode
// (U+FEFF, combining marks and every plane included) encodes to its UTF-8 and decodes back to
// itself. A lone surrogate outside the kept range, which no name holds, is written as U+FFFD.
QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(const QString& name);

// True when Qt's own file functions reach this name (no kept byte in it).
bool QtReachesFileName(const QString& name);

// The name for people: kept bytes are shown as the replacement character.
QString DisplayFileName(const QString& name);
