#pragma once

#include <string>
#include <vector>

namespace kelo::webhosttest {

// The Chromium processes that are children of this test process and still
// run (zombies not counted), as "pid comm" lines for failure messages.
std::vector<std::string> runningChromiumChildren();

// How many threads of this process carry the name `name`.
int ownThreadsNamed(const std::string& name);

// A fresh folder under the system's temporary folder, made the roaming
// application-data folder of this process (XDG_CONFIG_HOME), so that each
// browser gets a profile of its own and no two Chromiums share one.
std::string useFreshAppDataFolder();

// Removes a folder made by useFreshAppDataFolder, with everything in it.
void removeAppDataFolder(const std::string& folder);

}  // namespace kelo::webhosttest
