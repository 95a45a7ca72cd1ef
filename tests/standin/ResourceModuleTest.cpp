// A module built like the plug-in (stand-in linked in with hidden symbols,
// the page's resource table) finds its resources through its own handle.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using LookUp = long (*)(const wchar_t*, const void**);

class ResourceModule : public ::testing::Test {
 protected:
  void SetUp() override {
    module = dlopen(KELO_TEST_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    lookUp = reinterpret_cast<LookUp>(dlsym(module, "KeloTestModuleResourceSize"));
    ASSERT_NE(lookUp, nullptr);
  }
  void TearDown() override {
    if (module != nullptr) dlclose(module);
  }

  void* module = nullptr;
  LookUp lookUp = nullptr;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(ResourceModule, FindsEveryFileOfThePageListWithItsBytes) {
  std::istringstream list(ReadFile(KELO_TEST_PAGE_RESOURCE_LIST));
  std::string line;
  int checked = 0;
  while (std::getline(list, line)) {
    std::istringstream fields(line.substr(0, line.find('#')));
    std::string name;
    std::string path;
    if (!(fields >> name >> path)) continue;
    SCOPED_TRACE(name);
    const std::string bytes = ReadFile(std::string(KELO_TEST_SOURCE_ROOT) + "/" + path);
    const void* data = nullptr;
    const long size = lookUp(std::wstring(name.begin(), name.end()).c_str(), &data);
    ASSERT_EQ(size, static_cast<long>(bytes.size()));
    EXPECT_EQ(std::memcmp(data, bytes.data(), bytes.size()), 0);
    ++checked;
  }
  EXPECT_GE(checked, 1);
  const void* data = nullptr;
  EXPECT_NE(lookUp(L"kelo_index_html", &data), -static_cast<long>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(ResourceModule, TablesBelongToTheirModule) {
  const void* data = nullptr;
  // Listed for the test program only.
  EXPECT_EQ(lookUp(L"KELO_EMPTY_TXT", &data), -static_cast<long>(ERROR_RESOURCE_NAME_NOT_FOUND));
  // The test program's own copy of the stand-in holds no table for that module.
  HMODULE handle = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(lookUp), &handle));
  EXPECT_NE(handle, GetModuleHandleW(nullptr));
  SetLastError(0);
  EXPECT_EQ(FindResourceW(handle, L"KELO_INDEX_HTML", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(ResourceModule, ExportsTheLinuxHostEntryPointsButNoneOfTheStandIn) {
  EXPECT_NE(dlsym(module, "KeloLinuxCreateHostWindow"), nullptr);
  EXPECT_NE(dlsym(module, "KeloLinuxDestroyHostWindow"), nullptr);
  EXPECT_NE(dlsym(module, "KeloLinuxPumpMessages"), nullptr);
  EXPECT_EQ(dlsym(module, "FindResourceW"), nullptr);
  EXPECT_EQ(dlsym(module, "CreateWindowExW"), nullptr);
  EXPECT_EQ(dlsym(module, "GetMessageW"), nullptr);
}

}  // namespace
