#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelo::webhosttest {

// The Chromium processes that are children of this test process and still
// run (zombies not counted), as "pid comm" lines for failure messages.
inline std::vector<std::string> runningChromiumChildren() {
  std::vector<std::string> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::string line;
    if (!std::getline(std::ifstream(entry.path() / "stat"), line)) continue;
    // pid (comm) state ppid ...; comm may hold spaces, so split at the last ')'.
    const auto open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string comm = line.substr(open + 1, close - open - 1);
    char state = '?';
    long parent = 0;
    std::istringstream(line.substr(close + 1)) >> state >> parent;
    if (parent == getpid() && state != 'Z' && comm.find("chrom") != std::string::npos)
      found.push_back(entry.path().filename().string() + " " + comm);
  }
  return found;
}

// How many threads of this process carry the name `name`.
inline int ownThreadsNamed(const std::string& name) {
  int count = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::string line;
    count += std::getline(std::ifstream(task.path() / "comm"), line) && line == name;
  }
  return count;
}

// A fresh folder made the roaming application-data folder of this process
// (XDG_CONFIG_HOME), so that no two browsers share a profile.
inline std::string useFreshAppDataFolder() {
  std::string folder = std::filesystem::temp_directory_path() / "kelo-webhost-XXXXXX";
  if (!mkdtemp(folder.data())) return {};
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  return folder;
}

inline void removeAppDataFolder(const std::string& folder) {
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

}  // namespace kelo::webhosttest
