// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// One file to convert, from the command line or a file list, with the settings its list line
// gives (what it does not give comes from the options).
struct FileEntry {
    QString path; // as given, its bytes kept (see DecodeFileName)
    std::optional<double> begin;
    std::optional<double> end;
    std::optional<int> type;    // output type, 0 to 2
    std::optional<int> profile; // profile number, from 1
};

// A list of files: one entry a line (a line's "\r" before "\n" dropped), or one entry per
// NUL-terminated record. An entry is a file name, optionally followed by settings, each after
// a TAB: "begin=SEC", "end=SEC", "type=0|1|2", "profile=N". Only trailing fields of that form
// are settings, so a name that itself holds a TAB stays whole. Empty entries are skipped. A
// setting with a wrong value fails with the entry's number.
Result<QList<FileEntry>> ParseFileList(QByteArrayView list, char separator);

// The whole of a list file, or of standard input for "-".
Result<QByteArray> ReadFileList(const QString& path);

// "K/N": this process converts the entries K, K + N, K + 2N, ... (counted from 0), so N
// processes given K = 0 .. N - 1 share one list, each entry converted by exactly one of them.
struct Shard {
    int index = 0;
    int count = 1;

    bool Takes(qsizetype entry) const { return entry % count == index; }
};

std::optional<Shard> ParseShard(const QString& text);
