#include "ChildProcesses.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace kelo::preview {

std::vector<int> childProcessesNamed(const char* name) {
  std::vector<int> found;
  const pid_t self = getpid();
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (dirent* entry = readdir(proc)) {
    const std::string pid = entry->d_name;
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...; comm may hold spaces, so split at the last ')'.
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    char state = '?';
    long parent = 0;
    rest >> state >> parent;
    if (parent == self && state != 'Z' && line.substr(open + 1, close - open - 1).find(name) != std::string::npos)
      found.push_back(std::stoi(pid));
  }
  closedir(proc);
  return found;
}

}  // namespace kelo::preview
