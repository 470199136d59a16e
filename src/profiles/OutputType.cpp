// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/OutputType.h"

#include <QCoreApplication>

#include <array>

namespace {

struct OutputTypeInfo {
    const char* title;
    const char* profileFile;
    const char* extension;
    int passes;
};

constexpr std::array<OutputTypeInfo, OutputTypeCount> outputTypes{{
    {QT_TRANSLATE_NOOP("OutputType", "Cell Phone 3GP  files (3GP + AMR)"), "3GP_AMR_Profile.ini",
     ".3gp", 1},
    {QT_TRANSLATE_NOOP("OutputType", "Cell Phone 3GP  files (3GP + AAC)"), "3GP_AAC_Profile.ini",
     ".3gp", 1},
    {QT_TRANSLATE_NOOP("OutputType", "Cell Phone 3GP2 files (3GP2 + AAC)"), "3GP2_AAC_Profile.ini",
     ".3g2", 3},
}};

const OutputTypeInfo& InfoOf(OutputType type) {
    return outputTypes.at(static_cast<std::size_t>(type));
}

} // namespace

bool IsValidOutputType(int value) {
    return value >= 0 && value < OutputTypeCount;
}

QString OutputTypeTitle(OutputType type) {
    return QCoreApplication::translate("OutputType", InfoOf(type).title);
}

QString ProfileFileName(OutputType type) {
    return QString::fromLatin1(InfoOf(type).profileFile);
}

QString OutputExtension(OutputType type) {
    return QString::fromLatin1(InfoOf(type).extension);
}

int PassCount(OutputType type) {
    return InfoOf(type).passes;
}
