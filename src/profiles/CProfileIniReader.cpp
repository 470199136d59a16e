// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/CProfileIniReader.h"

#include <QFile>
#include <QList>
#include <QStringConverter>

namespace {

struct IniLine {
    QString key;
    QString value;
};

struct IniSection {
    QString name;
    QList<IniLine> lines;
};

QList<IniSection> ReadIni(const QString& path) {
    QList<IniSection> sections;
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return sections;
    auto decoder = QStringDecoder(QStringConverter::Utf8);
    const QString text = decoder.decode(file.readAll());

    IniSection* current = nullptr;
    for (QStringView raw : QStringView(text).split(u'\n')) {
        const QStringView line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            qsizetype close = line.indexOf(u']');
            if (close < 0)
                close = line.size();
            const QString name = line.sliced(1, close - 1).trimmed().toString();
            current = nullptr;
            for (IniSection& section : sections) {
                if (section.name.compare(name, Qt::CaseInsensitive) == 0)
                    current = &section;
            }
            if (current == nullptr) {
                sections.append(IniSection{name, {}});
                current = &sections.last();
            }
            continue;
        }
        if (current == nullptr)
            continue; // lines before the first section belong to none
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            current->lines.append(IniLine{QString(), line.toString()});
        else
            current->lines.append(IniLine{line.first(eq).trimmed().toString(),
                                          line.sliced(eq + 1).trimmed().toString()});
    }
    return sections;
}

const IniSection* FindSection(const QList<IniSection>& sections, const QString& name) {
    for (const IniSection& section : sections) {
        if (section.name.compare(name, Qt::CaseInsensitive) == 0)
            return &section;
    }
    return nullptr;
}

} // namespace

bool CProfileIniReader::HasKeys(const QString& section) const {
    const QList<IniSection> sections = ReadIni(filePath);
    const IniSection* found = FindSection(sections, section);
    return found != nullptr && !found->lines.isEmpty();
}

QString CProfileIniReader::GetValue(const QString& section, const QString& key) const {
    const QList<IniSection> sections = ReadIni(filePath);
    const IniSection* found = FindSection(sections, section);
    if (found == nullptr)
        return {};
    for (const IniLine& line : found->lines) {
        if (line.key.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.value;
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.sliced(1, value.size() - 2);
        return value;
    }
    return {};
}

int CProfileIniReader::GetSectionNames(QStringList& names) const {
    names.clear();
    for (const IniSection& section : ReadIni(filePath))
        names.append(section.name);
    return static_cast<int>(names.size());
}

int CProfileIniReader::GetSection(const QString& section, QStringList& keys,
                                  QStringList& values) const {
    keys.clear();
    values.clear();
    const QList<IniSection> sections = ReadIni(filePath);
    if (const IniSection* found = FindSection(sections, section)) {
        for (const IniLine& line : found->lines) {
            keys.append(line.key);
            values.append(line.value);
        }
    }
    return static_cast<int>(keys.size());
}
