// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The values the program keeps between runs (the registry on Windows, a config file elsewhere),
// under Morvane/Morvane, each as the default value of its own subkey.
namespace StoredSettings {

// The stored output folder with its trailing separator, or the user's Videos folder when
// nothing usable is stored.
QString LoadOutputDir();
// Stores the output folder; an empty one is not stored.
void StoreOutputDir(const QString& dir);
// Stores the page's file number ("fileno").
void StoreFileNumber(int number);
// Where the Add dialog opens: the folder last added from, the user's Videos folder at first.
QString LoadAddFolder();
void StoreAddFolder(const QString& dir);
// How many jobs the window runs side by side: 1 to 8, 0 for "Auto"; 1 when nothing usable is
// stored.
int LoadSimultaneousJobs();
void StoreSimultaneousJobs(int jobs);
// The folder used when nothing is stored: the user's Videos folder (home when there is none),
// made when it does not exist yet.
QString DefaultOutputDir();

} // namespace StoredSettings
