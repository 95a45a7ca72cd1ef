// The Windows resource script generated from the list of embedded files. The
// Linux resource table is passed through by the web view host's tests, which
// serve the page from it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ListedFile {
  std::string name;
  std::string path;
};

// Reads the list on its own terms, independent of the build's generator.
std::vector<ListedFile> ReadList() {
  std::vector<ListedFile> files;
  std::ifstream list(KELO_TEST_RESOURCE_LIST);
  std::string line;
  while (std::getline(list, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    ListedFile file;
    if (fields >> file.name >> file.path) files.push_back(file);
  }
  return files;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ResourceScript, ListsEveryFileAsRawDataAndTheManifestAsType24Id2) {
  const std::string script = ReadFile(KELO_TEST_RESOURCE_SCRIPT);
  const std::string root = KELO_TEST_SOURCE_ROOT;
  std::string folder = KELO_TEST_RESOURCE_SCRIPT;
  folder = folder.substr(0, folder.rfind('/'));
  EXPECT_NE(script.find("\n2 24 \"" + folder + "/resources_test.manifest\"\n"), std::string::npos) << script;
  for (const ListedFile& file : ReadList()) {
    std::string upper = file.name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string line = "\n" + upper + " RCDATA \"" + root + "/" + file.path + "\"\n";
    EXPECT_NE(script.find(line), std::string::npos) << line;
  }
  const std::string manifest = ReadFile(folder + "/resources_test.manifest");
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
}

}  // namespace
