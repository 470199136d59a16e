// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/KeyedRecord.h"

QByteArray WriteKeyedRecord(const QByteArray& header, const KeyedFields& fields) {
    QByteArray record = header + '\n';
    for (const auto& [key, value] : fields)
        record += key + '=' + value.toPercentEncoding() + '\n';
    return record;
}

std::optional<QHash<QByteArray, QByteArray>> ReadKeyedRecord(const QByteArray& header,
                                                             const QByteArray& record) {
    const QList<QByteArray> lines = record.split('\n');
    if (lines.value(0) != header)
        return std::nullopt;
    QHash<QByteArray, QByteArray> fields;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            fields.insert(line.left(equals), QByteArray::fromPercentEncoding(line.mid(equals + 1)));
    }
    return fields;
}
