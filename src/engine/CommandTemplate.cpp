#include "engine/CommandTemplate.h"

#include <array>
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

QString FormatTimestamp(const QDateTime& time) {
    const QDate d = time.date();
    const QTime t = time.time();
    return QString::asprintf("%d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                             t.minute(), t.second());
}

CommandLine ExpandCommandTemplate(const QString& commandTemplate, const Job& job,
                                  const QString& outputDir, const QDateTime& now) {
    // A RealMedia job whose export has finished reads the exported range from its start.
    const bool readsExport = job.isRealMedia == 1 && job.phase == JobPhase::FirstPass;
    const std::array<std::pair<QString, QString>, 6> variables{{
        {QStringLiteral("$INPUT_FILE"), readsExport ? job.exportPath : job.sourcePath},
        {QStringLiteral("$START"),
         readsExport ? QStringLiteral("00:00:00 ") : FormatHms(job.beginTime)},
        {QStringLiteral("$LENGTH"), FormatHms(job.endTime - job.beginTime)},
        {QStringLiteral("$TIMESTAMP"), FormatTimestamp(now)},
        {QStringLiteral("$OUTPUT_DIR"), outputDir},
        {QStringLiteral("$OUTPUT_FILE"), job.outputName.isEmpty() ? job.baseName : job.outputName},
    }};

    CommandLine command;
    for (const TemplateWord& word : SplitCommandTemplate(commandTemplate)) {
        QString text;
        text.reserve(word.text.size());
        for (qsizetype i = 0; i < word.text.size();) {
            bool replaced = false;
            if (word.text.at(i) == u'$') {
                // No variable name is a prefix of another, so the first match is the only one.
                for (const auto& [name, value] : variables) {
                    if (QStringView(word.text).sliced(i).startsWith(name)) {
                        text += value;
                        i += name.size();
                        replaced = true;
                        break;
                    }
                }
            }
            if (!replaced)
                text += word.text.at(i++);
        }
        if (!word.quoted) {
            text = text.trimmed();
            if (text.isEmpty())
                continue;
        }
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
