// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/OutputType.h"

#include <QString>
#include <QStringList>

// One profile section as the program sees it.
struct Profile {
    int position = 0; // 1-based: section position in the file (0 is the "Info" section)
    QString sectionName;
    QString title;
    QStringList keys;
    QStringList values; // value 0 is the title; 1, 2 and 4 are the pass templates
};

// A decimal integer as the "DefaultProfile" entry is read: optional leading blanks and sign,
// then the leading digits; text without leading digits gives 0.
int ParseLeadingInt(const QString& text);

// The templates of the encoder passes of a profile for an output type: value 1 for every
// type, and values 2 and 4 as well for 3GP2. Empty when the profile has too few values.
QStringList PassTemplates(const Profile& profile, OutputType type);

// The profile that a conversion uses.
struct ResolvedProfile {
    Profile profile;
    QStringList passTemplates; // one per pass, in pass order
};

// Why a profile cannot be used (its message for the user is the failure's).
enum class ProfileProblem {
    None,
    NoProfiles,        // the file is missing or holds no sections
    NoProfileSelected, // nothing is selected in the profile list
    NoSuchProfile,     // the selection is past the file's profiles
    Malformed,         // fewer values than the passes need
};

// The profile file of an output type in the first of profileDirs that holds one (a user's own
// copy before the shipped file); the last folder's file when none does.
QString ProfileFilePath(const QStringList& profileDirs, OutputType type);

// Resolves the profile at list selection (0-based; -1 for none) of an output type's profile
// file in profileDir: the section at position selection + 1. Binds the reader to that file.
// A caller that must tell the problems apart passes problem, which is set on every call.
Result<ResolvedProfile> ResolveProfile(CProfileIniReader& reader, const QString& profileDir,
                                       OutputType type, int listSelection,
                                       ProfileProblem* problem = nullptr);
// The same with the file taken from the first of profileDirs that holds it (ProfileFilePath).
Result<ResolvedProfile> ResolveProfile(CProfileIniReader& reader, const QStringList& profileDirs,
                                       OutputType type, int listSelection,
                                       ProfileProblem* problem = nullptr);

// The profiles of an output type's file as the profile list shows them.
struct ProfileList {
    bool hasFile = false; // the file is there with its "Info" section
    QString description;  // the type's description ("Info", "Description")
    QStringList titles;   // one per profile section, in file order
    int defaultRow = -1;  // the row "DefaultProfile" names (0-based); -1 when it names none
};

// Reads the profile list of an output type's profile file in profileDir.
ProfileList ReadProfileList(const QString& profileDir, OutputType type);
ProfileList ReadProfileList(const QStringList& profileDirs, OutputType type);
