// The module's globals, recorded when the platform loads it.
#pragma once

#include <string>

namespace kelo {

// The module's own handle (HINSTANCE on Windows, the dlopen handle on Linux)
// and the folder of its file, ending with the path separator.
void* moduleHandle();
const std::string& moduleFolder();

void recordModule(void* handle, const std::string& filePath);

}  // namespace kelo
