#include "ProjectFile.h"

#include "BufferStream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace kelo::preview {

using namespace Steinberg;

bool restoreProject(host::PluginInstance& instance, const std::string& bytes) {
  IPtr<host::BufferStream> forProcessor = owned(new host::BufferStream(bytes));
  if (instance.component()->setState(forProcessor) != kResultOk) return false;
  IPtr<host::BufferStream> forController = owned(new host::BufferStream(bytes));
  return instance.controller()->setComponentState(forController) == kResultOk;
}

bool saveProject(host::PluginInstance& instance, std::string& bytes) {
  IPtr<host::BufferStream> stream = owned(new host::BufferStream());
  if (instance.component()->getState(stream) != kResultOk) return false;
  bytes = stream->bytes();
  return true;
}

ProjectFile::Load ProjectFile::load(host::PluginInstance& instance) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 && errno == ENOENT) return Load::kMissing;
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  if (!S_ISREG(info.st_mode) || !in || !(bytes << in.rdbuf()) || in.bad()) {
    problem = path + ": cannot be read" + (errno ? std::string(" (") + std::strerror(errno) + ")" : "");
    return Load::kFailed;
  }
  if (!restoreProject(instance, bytes.str())) {
    problem = path + ": not a Kelo project state";
    return Load::kFailed;
  }
  return Load::kLoaded;
}

bool ProjectFile::save(host::PluginInstance& instance) {
  std::string bytes;
  if (!saveProject(instance, bytes)) {
    problem = "the processor gave no state to save";
    return false;
  }
  const std::string temporary = path + ".saving";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) || !out.flush()) {
      problem = temporary + ": cannot be written";
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = path + ": cannot be replaced (" + std::strerror(errno) + ")";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace kelo::preview
