// SPDX-License-Identifier: GPL-3.0-or-later
#include "profiles/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <limits>

int ParseLeadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == u' ' || text.at(i) == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        value = value * 10 + (text.at(i).unicode() - u'0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

QStringList PassTemplates(const Profile& profile, OutputType type) {
    const QStringList& values = profile.values;
    const QList<int> positions = PassCount(type) == 1 ? QList<int>{1} : QList<int>{1, 2, 4};
    QStringList templates;
    for (const int position : positions) {
        // A missing or blank template would run an undefined command line.
        if (position >= values.size() || values.at(position).trimmed().isEmpty())
            return {};
        templates.append(values.at(position));
    }
    return templates;
}

QString ProfileFilePath(const QStringList& profileDirs, OutputType type) {
    const QString fileName = ProfileFileName(type);
    for (const QString& dir : profileDirs) {
        const QString path = QDir(dir).filePath(fileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return profileDirs.isEmpty() ? fileName : QDir(profileDirs.last()).filePath(fileName);
}

Result<ResolvedProfile> ResolveProfile(CProfileIniReader& reader, const QString& profileDir,
                                       OutputType type, int listSelection,
                                       ProfileProblem* problem) {
    return ResolveProfile(reader, QStringList{profileDir}, type, listSelection, problem);
}

Result<ResolvedProfile> ResolveProfile(CProfileIniReader& reader, const QStringList& profileDirs,
                                       OutputType type, int listSelection,
                                       ProfileProblem* problem) {
    const auto fail = [problem](ProfileProblem kind, const QString& message) {
        if (problem != nullptr)
            *problem = kind;
        return Failure(message);
    };
    if (problem != nullptr)
        *problem = ProfileProblem::None;
    reader.SetFile(ProfileFilePath(profileDirs, type));
    // Named whole: it may be the user's own copy or the shipped file.
    const QString fileName = QDir::toNativeSeparators(reader.File());

    QStringList names;
    const int count = reader.GetSectionNames(names);
    if (count == 0)
        return fail(ProfileProblem::NoProfiles,
                    QCoreApplication::translate(
                        "Profile", "The profile file %1 is missing or holds no profiles.")
                        .arg(fileName));
    if (listSelection < 0)
        return fail(ProfileProblem::NoProfileSelected,
                    QCoreApplication::translate(
                        "Profile", "No profile is selected. Please select a profile."));
    const int position = listSelection + 1;
    if (position >= count)
        return fail(ProfileProblem::NoSuchProfile,
                    QCoreApplication::translate("Profile", "The profile file %1 has no profile %2.")
                        .arg(fileName)
                        .arg(position));

    ResolvedProfile result;
    Profile& profile = result.profile;
    profile.position = position;
    profile.sectionName = names.at(position);
    profile.title = reader.GetValue(profile.sectionName, QStringLiteral("Title"));
    reader.GetSection(profile.sectionName, profile.keys, profile.values);

    result.passTemplates = PassTemplates(profile, type);
    if (result.passTemplates.isEmpty()) {
        const int needed = PassCount(type) == 1 ? 2 : 5;
        return fail(
            ProfileProblem::Malformed,
            QCoreApplication::translate(
                "Profile", "The profile \"%1\" in %2 is malformed: it needs at least %3 lines "
                           "(a title and the command lines), and none of them blank; it has %4.")
                .arg(profile.title.isEmpty() ? profile.sectionName : profile.title, fileName)
                .arg(needed)
                .arg(profile.values.size()));
    }
    return result;
}

ProfileList ReadProfileList(const QString& profileDir, OutputType type) {
    return ReadProfileList(QStringList{profileDir}, type);
}

ProfileList ReadProfileList(const QStringList& profileDirs, OutputType type) {
    ProfileList list;
    CProfileIniReader reader;
    reader.SetFile(ProfileFilePath(profileDirs, type));
    const QString info = QStringLiteral("Info");
    list.hasFile = reader.HasKeys(info);
    if (!list.hasFile)
        return list;
    list.description = reader.GetValue(info, QStringLiteral("Description"));
    QStringList names;
    reader.GetSectionNames(names);
    for (qsizetype i = 1; i < names.size(); ++i)
        list.titles.append(reader.GetValue(names.at(i), QStringLiteral("Title")));
    // Checked as a number from 1 before one is taken off: "-99999999999" reads as the smallest
    // int, which has nothing below it.
    const int number = ParseLeadingInt(reader.GetValue(info, QStringLiteral("DefaultProfile")));
    list.defaultRow = number >= 1 && number <= list.titles.size() ? number - 1 : -1;
    return list;
}
