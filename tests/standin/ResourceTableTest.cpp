// The generated resource table, module handles and the resource script.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
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

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

HMODULE ThisModule() {
  HMODULE module = nullptr;
  EXPECT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCWSTR>(&ThisModule), &module));
  return module;
}

TEST(ResourceTable, EveryListedFileIsFoundByNameWithExactlyItsBytes) {
  const std::vector<ListedFile> files = ReadList();
  ASSERT_EQ(files.size(), 3u);
  for (const ListedFile& file : files) {
    SCOPED_TRACE(file.name);
    HRSRC resource = FindResourceW(ThisModule(), Wide(file.name).c_str(), RT_RCDATA);
    ASSERT_NE(resource, nullptr);
    const std::string bytes = ReadFile(std::string(KELO_TEST_SOURCE_ROOT) + "/" + file.path);
    EXPECT_EQ(SizeofResource(ThisModule(), resource), bytes.size());
    HGLOBAL loaded = LoadResource(ThisModule(), resource);
    ASSERT_NE(loaded, nullptr);
    const void* data = LockResource(loaded);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
  }
}

TEST(ResourceTable, NamesAreFoundWhateverTheirCase) {
  HRSRC upper = FindResourceW(ThisModule(), L"KELO_INDEX_HTML", RT_RCDATA);
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(FindResourceW(ThisModule(), L"kelo_index_html", RT_RCDATA), upper);
  EXPECT_EQ(FindResourceW(ThisModule(), L"Kelo_Index_Html", RT_RCDATA), upper);
  // Listed in lower case, stored upper case.
  EXPECT_NE(FindResourceW(ThisModule(), L"KELO_ALL_BYTES_BIN", RT_RCDATA), nullptr);
}

TEST(ResourceTable, MissingNamesOtherTypesAndModulesWithoutTablesFindNothing) {
  SetLastError(0);
  EXPECT_EQ(FindResourceW(ThisModule(), L"KELO_MISSING_CSS", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(ThisModule(), L"KELO_INDEX_HTM", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceW(ThisModule(), MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
  SetLastError(0);
  EXPECT_EQ(FindResourceW(ThisModule(), L"KELO_INDEX_HTML", RT_MANIFEST), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));

  HMODULE libc = GetModuleHandleW(L"libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(libc, ThisModule());
  SetLastError(0);
  EXPECT_EQ(FindResourceW(libc, L"KELO_INDEX_HTML", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
  EXPECT_EQ(SizeofResource(ThisModule(), nullptr), 0u);
  EXPECT_EQ(LoadResource(ThisModule(), nullptr), nullptr);
}

TEST(ResourceTable, AnEmptyFileIsAResourceOfSizeZero) {
  HRSRC resource = FindResourceW(nullptr, L"KELO_EMPTY_TXT", RT_RCDATA);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, resource), 0u);
}

TEST(Modules, TheMainProgramsHandleIsTheModuleHoldingItsCodeAndItsFileIsTheExecutable) {
  EXPECT_EQ(GetModuleHandleW(nullptr), ThisModule());
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 0u);
  const std::wstring file(path, length);
  EXPECT_EQ(file.substr(file.rfind(L'/') + 1), L"kelo_standin_tests");
  EXPECT_EQ(GetModuleFileNameW(ThisModule(), path, MAX_PATH), length);

  wchar_t small[5];
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small[4], L'\0');
  EXPECT_EQ(std::wstring(small), file.substr(0, 4));
}

TEST(Modules, AnAddressOutsideEveryModuleFindsNone) {
  HMODULE module = reinterpret_cast<HMODULE>(1);
  int onStack = 0;
  SetLastError(0);
  EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&onStack),
                                  &module));
  EXPECT_EQ(module, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetModuleHandleW(L"no-such-module.so"), nullptr);
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
