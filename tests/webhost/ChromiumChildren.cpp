#include "ChromiumChildren.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelo::webhosttest {

std::vector<std::string> runningChromiumChildren() {
  std::vector<std::string> found;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    const std::string name = entry->d_name;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...; comm may hold spaces, so split at the last ')'.
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string comm = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 1));
    char state = '?';
    long parent = 0;
    rest >> state >> parent;
    if (parent != self || state == 'Z' || comm.find("chrom") == std::string::npos) continue;
    found.push_back(name + " " + comm);
  }
  closedir(proc);
  return found;
}

int ownThreadsNamed(const std::string& name) {
  int count = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::string line;
    count += std::getline(std::ifstream(task.path() / "comm"), line) && line == name;
  }
  return count;
}

std::string useFreshAppDataFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelo-webhost-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
  return pattern;
}

void removeAppDataFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

}  // namespace kelo::webhosttest
