// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names as the system stores them: bytes, which need not be valid UTF-8. Qt decodes such
// bytes with replacement characters and cannot find the file again; these functions keep every
// byte: a byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF, and
// back.
QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(const QString& name);

// True when Qt's own file functions reach this name (no kept byte in it).
bool QtReachesFileName(const QString& name);

// The name for people: kept bytes are shown as the replacement character.
QString DisplayFileName(const QString& name);
