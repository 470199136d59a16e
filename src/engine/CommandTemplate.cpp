// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/CommandTemplate.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

QList<TemplateWord> SplitCommandTemplate(const QString& commandTemplate) {
    QList<TemplateWord> words;
    TemplateWord word;
    bool inWord = false;
    bool inQuotes = false;
    for (const QChar c : commandTemplate) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            inWord = true;
            word.quoted = true;
        } else if (!inQuotes && (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')) {
            if (inWord)
                words.append(std::exchange(word, TemplateWord{}));
            inWord = false;
        } else {
            word.text.append(c);
            inWord = true;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

namespace {

// A RealMedia job whose export has finished reads the exported range from its start.
bool ReadsExport(const Job& job) {
    return job.isRealMedia && !job.exportPath.isEmpty();
}

} // namespace

QString FormatTimestamp(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    return QString::asprintf("%d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

QString TemplateStart(const Job& job) {
    const qint64 start = ReadsExport(job) ? 0 : FloorMilliseconds(job.beginTime);
    return start == 0 ? QString() : FormatHmsMilliseconds(start);
}

QString TemplateLength(const Job& job) {
    // Rounded outward, so that no part of the range is lost. (An exported range starts at 0
    // of its file and has the same length.)
    qint64 length = CeilMilliseconds(job.endTime) - FloorMilliseconds(job.beginTime);
    // A range that runs to the end of the clip runs to the end of the file, even where the
    // clip's length was read a little short.
    if (job.clipLength > 0.0 && job.endTime >= job.clipLength)
        length += 1000;
    return FormatHmsMilliseconds(length);
}

CommandLine ExpandCommandTemplate(const QString& commandTemplate, const Job& job,
                                  const QString& outputDir, const QDateTime& now) {
    const std::array<std::pair<QString, QString>, 6> variables{{
        {QStringLiteral("$INPUT_FILE"), ReadsExport(job) ? job.exportPath : job.sourcePath},
        {QStringLiteral("$START"), TemplateStart(job)},
        {QStringLiteral("$LENGTH"), TemplateLength(job)},
        {QStringLiteral("$TIMESTAMP"), FormatTimestamp(now)},
        {QStringLiteral("$OUTPUT_DIR"), outputDir},
        {QStringLiteral("$OUTPUT_FILE"), job.outputName.isEmpty() ? job.baseName : job.outputName},
    }};

    CommandLine command;
    bool lastIsOption = false; // the last argument is an option word written as it stands
    for (const TemplateWord& word : SplitCommandTemplate(commandTemplate)) {
        QString text;
        text.reserve(word.text.size());
        bool hasVariable = false;
        for (qsizetype i = 0; i < word.text.size();) {
            bool replaced = false;
            if (word.text.at(i) == u'$') {
                // No variable name is a prefix of another, so the first match is the only one.
                for (const auto& [name, value] : variables) {
                    if (QStringView(word.text).sliced(i).startsWith(name)) {
                        text += value;
                        i += name.size();
                        replaced = hasVariable = true;
                        break;
                    }
                }
            }
            if (!replaced)
                text += word.text.at(i++);
        }
        if (!word.quoted) {
            text = text.trimmed();
            if (text.isEmpty()) {
                // "-ss $START" with no start: the option goes with its missing value.
                if (hasVariable && lastIsOption)
                    command.arguments.removeLast();
                lastIsOption = false;
                continue;
            }
        }
        lastIsOption = !word.quoted && !hasVariable && text.startsWith(u'-');
        command.arguments.append(text);
    }
    return command;
}

QString CommandLine::Printable() const {
    QStringList parts;
    for (const QString& argument : arguments) {
        const bool needsQuotes = argument.isEmpty() || argument.contains(u' ') ||
                                 argument.contains(u'\t') || argument.contains(u'"');
        if (!needsQuotes) {
            parts.append(argument);
            continue;
        }
        QString escaped = argument;
        escaped.replace(u'"', QStringLiteral("\\\""));
        parts.append(u'"' + escaped + u'"');
    }
    return parts.join(u' ');
}

int TargetVideoLevel(const QString& firstPassTemplate) {
    const QList<TemplateWord> words = SplitCommandTemplate(firstPassTemplate);
    int level = 0;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words[i].text == u"-level")
            level = std::max(words[i + 1].text.toInt(), 0);
    }
    return level;
}

std::optional<double> ParseBitRate(const QString& text) {
    QString value = text.trimmed();
    double unit = 1.0;
    if (value.endsWith(u'k', Qt::CaseInsensitive))
        unit = 1000.0;
    else if (value.endsWith(u'M'))
        unit = 1000000.0;
    if (unit > 1.0)
        value.chop(1);
    bool ok = false;
    const double bits = QLocale::c().toDouble(value, &ok) * unit;
    if (!ok || !(bits > 0.0))
        return std::nullopt;
    return bits;
}

void ScaleVideoRates(CommandLine& command, double factor) {
    QStringList& words = command.arguments;
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (words[i] != u"-b:v" && words[i] != u"-maxrate" && words[i] != u"-bufsize")
            continue;
        if (const std::optional<double> bits = ParseBitRate(words[i + 1]))
            words[i + 1] = QString::number(qint64(std::llround(*bits * factor)));
    }
}

void LowerPictureRate(CommandLine& command, double share) {
    if (!(share > 0.0 && share < 1.0))
        return;
    static const QRegularExpression fps(QStringLiteral("(^|[,;])fps=(\\d+(?:\\.\\d+)?)"));
    QStringList& words = command.arguments;
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        if (words[i] != u"-vf" && words[i] != u"-filter:v")
            continue;
        const QRegularExpressionMatch match = fps.match(words[i + 1]);
        if (!match.hasMatch())
            continue;
        const double lowered = QLocale::c().toDouble(match.captured(2)) * share;
        words[i + 1].replace(match.capturedStart(2), match.capturedLength(2),
                             QString::number(std::round(lowered * 100.0) / 100.0));
    }
}
