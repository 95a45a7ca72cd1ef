#pragma once

#include <vector>

namespace kelo::preview {

/// The process IDs of this process's running children (zombies not
/// counted) whose command name contains `name`.
std::vector<int> childProcessesNamed(const char* name);

}  // namespace kelo::preview
