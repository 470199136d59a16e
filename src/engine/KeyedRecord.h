// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>

#include <optional>

// The small records kept beside files (a work folder's owner, an output's source): a header
// line, then one "key=value" line a field, values percent-encoded so that any bytes fit.
using KeyedFields = QList<QPair<QByteArray, QByteArray>>;

QByteArray WriteKeyedRecord(const QByteArray& header, const KeyedFields& fields);
// The fields of a record with that header; nothing when the text is not such a record.
std::optional<QHash<QByteArray, QByteArray>> ReadKeyedRecord(const QByteArray& header,
                                                             const QByteArray& record);
