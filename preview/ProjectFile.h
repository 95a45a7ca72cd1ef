#pragma once

#include "PluginInstance.h"

#include <string>

namespace kelo::preview {

/// The project a user keeps between runs: the processor's saved state in a
/// file, restored into both components as a DAW restores a project.
class ProjectFile {
 public:
  enum class Load {
    kLoaded,   ///< both components took the file's state
    kMissing,  ///< no such file: it is written on save
    kFailed    ///< unreadable or not a Kelo state; see error ()
  };

  explicit ProjectFile(std::string path) : path(std::move(path)) {}

  /// Reads the file and hands its bytes to the processor's setState and
  /// then the controller's setComponentState. Never touches the file.
  Load load(host::PluginInstance& instance);
  /// Writes the processor's getState to the file (through a temporary file
  /// renamed over it, so a failure leaves the old file whole).
  bool save(host::PluginInstance& instance);

  const std::string& error() const { return problem; }
  const std::string& location() const { return path; }

 private:
  std::string path;
  std::string problem;
};

/// Restores `bytes` into both components, as a DAW loading a project does.
/// False when either refused them.
bool restoreProject(host::PluginInstance& instance, const std::string& bytes);
/// The processor's saved state, as a DAW saving a project asks for it.
bool saveProject(host::PluginInstance& instance, std::string& bytes);

}  // namespace kelo::preview
