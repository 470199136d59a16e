// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Reads INI files as the profile files need: sections and lines in file order, each line
// split at its first "=". The file is read again on every call; a missing or unreadable
// file reads as an empty one. Text is UTF-8. Section and key names match case-insensitively;
// blank lines and lines starting with ";" or "#" are comments.
class CProfileIniReader {
public:
    void SetFile(const QString& path) { filePath = path; }
    const QString& File() const { return filePath; }

    // True when the section exists and holds at least one line.
    bool HasKeys(const QString& section) const;
    // The value of a key (surrounding blanks and one pair of double quotes removed), or ""
    // when the section or the key is missing.
    QString GetValue(const QString& section, const QString& key) const;
    // Clears names, then appends every section name in file order. Returns the count.
    int GetSectionNames(QStringList& names) const;
    // Clears both lists, then appends each line of the section: the text before its first
    // "=" as key and the text after it as value (a line without "=" gives an empty key and
    // the whole line as value). Returns the number of lines.
    int GetSection(const QString& section, QStringList& keys, QStringList& values) const;

private:
    QString filePath;
};
