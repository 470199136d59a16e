// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/NumberedName.h"

#include "media/FileNames.h"

#include <QRegularExpression>

namespace {

// Cuts whole characters off the end (a surrogate pair is one character; a kept byte of a
// name that is not UTF-8 is one too) until the name fits bytes.
QString FitBytes(const QString& name, qsizetype bytes) {
    QString fitted = name;
    while (!fitted.isEmpty() && EncodeFileName(fitted).size() > bytes) {
        const bool pair = fitted.size() >= 2 && fitted.back().isLowSurrogate() &&
                          fitted.at(fitted.size() - 2).isHighSurrogate();
        fitted.chop(pair ? 2 : 1);
    }
    return fitted;
}

QString NumberSuffix(int n) {
    return QStringLiteral(" (%1)").arg(n);
}

} // namespace

QString FitOutputName(const QString& name) {
    return FitBytes(name, MaxOutputNameBytes);
}

QString NumberedName(const QString& name, int n) {
    const QString suffix = NumberSuffix(n);
    return FitBytes(name, MaxOutputNameBytes - suffix.size()) + suffix;
}

QString NextFreeName(const QString& name, const std::function<bool(const QString&)>& taken) {
    static const QRegularExpression numbered(QStringLiteral("^(.*) \\(([2-9]|[1-9][0-9]{1,2})\\)$"),
                                             QRegularExpression::DotMatchesEverythingOption);
    QString base = name;
    int n = 2;
    if (const QRegularExpressionMatch match = numbered.match(name); match.hasMatch()) {
        base = match.captured(1);
        n = match.captured(2).toInt() + 1;
    }
    QString next = NumberedName(base, n);
    while (taken(next))
        next = NumberedName(base, ++n);
    return next;
}
