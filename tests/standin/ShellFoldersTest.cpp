// The application-data folder, path joining and opening addresses.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

namespace {

// Sets or removes an environment variable for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) previous = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (previous) {
      setenv(name, previous->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

 private:
  const char* name;
  std::optional<std::string> previous;
};

std::wstring AppData() {
  wchar_t path[MAX_PATH] = L"unchanged";
  const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return SUCCEEDED(result) ? std::wstring(path) : L"failed:" + std::wstring(path);
}

TEST(ShellFolders, AppDataIsAnAbsoluteXdgConfigFolderElseDotConfigInHomeElseAFailure) {
  const struct {
    const char* config;
    const char* home;
    std::wstring expected;
  } cases[] = {
      {"/tmp/kelo-config", "/home/someone", L"/tmp/kelo-config"},
      {nullptr, "/home/some\u00f6ne", L"/home/some\u00f6ne/.config"},
      {"relative/config", "/home/a", L"/home/a/.config"},  // ignored, as XDG says
      {nullptr, nullptr, L"failed:"},
  };
  for (const auto& c : cases) {
    ScopedVariable config("XDG_CONFIG_HOME", c.config);
    ScopedVariable home("HOME", c.home);
    EXPECT_EQ(AppData(), c.expected) << (c.config ? c.config : "-") << " " << (c.home ? c.home : "-");
  }
  wchar_t path[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path), E_INVALIDARG);
}

TEST(ShellFolders, AppDataWithTheCreateFlagMakesTheFolder) {
  char pattern[] = "/tmp/kelo-standin-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = std::string(pattern) + "/a/b";
  ScopedVariable config("XDG_CONFIG_HOME", folder.c_str());
  wchar_t path[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
  struct stat info {};
  EXPECT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  rmdir(folder.c_str());
  rmdir((std::string(pattern) + "/a").c_str());
  rmdir(pattern);
}

std::wstring Append(const std::wstring& base, const wchar_t* more) {
  wchar_t path[MAX_PATH];
  base.copy(path, base.size());
  path[base.size()] = L'\0';
  return PathAppendW(path, more) ? std::wstring(path) : L"failed:" + std::wstring(path);
}

TEST(ShellPaths, AppendPutsExactlyOneSeparatorBetweenThePartsAndFailsKeepingThePathWhenItWouldNotFit) {
  EXPECT_EQ(Append(L"/home/a/.config", L"Kelo"), L"/home/a/.config/Kelo");
  EXPECT_EQ(Append(L"/home/a/.config/", L"Kelo"), L"/home/a/.config/Kelo");
  EXPECT_EQ(Append(L"/home/a/.config", L"/Kelo"), L"/home/a/.config/Kelo");
  EXPECT_EQ(Append(L"C:\\Users\\a\\AppData\\", L"Kelo"), L"C:\\Users\\a\\AppData\\Kelo");
  EXPECT_EQ(Append(L"", L"Kelo"), L"Kelo");
  const std::wstring base(MAX_PATH - 5, L'a');
  EXPECT_EQ(Append(base, L"Kelo"), L"failed:" + base);  // 255 + '/' + 4 = 260 units, no room for the NUL
  EXPECT_EQ(Append(base, L"Kel"), base + L"/Kel");
}

// ShellExecuteW with the test opener, which records its arguments and then
// stays alive until the test releases it.
class ShellExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelo-opener-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    log = folder + "/log";
  }
  void TearDown() override {
    std::ofstream(log + ".release").put('\n');
    if (access(log.c_str(), F_OK) == 0) WaitFor(log + ".done");
    for (const char* suffix : {"", ".release", ".done"}) unlink((log + suffix).c_str());
    rmdir(folder.c_str());
  }
  static bool WaitFor(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
      if (access(path.c_str(), F_OK) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::string ReadLog() const {
    std::ifstream in(log);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string folder;
  std::string log;
};

TEST_F(ShellExecute, StartsTheOpenerWithTheAddressAndDoesNotWaitForIt) {
  ScopedVariable opener("KELO_STANDIN_OPENER", KELO_TEST_OPENER);
  ScopedVariable logVariable("KELO_TEST_OPENER_LOG", log.c_str());
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", L"https://example.com/k\u00e9lo?a=1&b=2 c", nullptr, nullptr, SW_SHOWNORMAL));
  EXPECT_GT(result, 32);
  ASSERT_TRUE(WaitFor(log));
  const std::string recorded = ReadLog();
  EXPECT_NE(recorded.find("argc 1\narg https://example.com/k\xC3\xA9lo?a=1&b=2 c\n"), std::string::npos) << recorded;

  // The opener is still running, held by the test: the call did not wait.
  const int pid = std::stoi(recorded.substr(recorded.find("pid ") + 4));
  EXPECT_EQ(kill(pid, 0), 0);
  EXPECT_NE(access((log + ".done").c_str(), F_OK), 0);
  // Neither the opener nor an intermediate process is left as our child.
  int status = 0;
  errno = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellExecute, FailsWithACodeOfAtMost32WhenTheOpenerCannotBeStarted) {
  {
    ScopedVariable opener("KELO_STANDIN_OPENER", "/nonexistent/opener");
    SetLastError(0);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"https://example.com", nullptr, nullptr, 1));
    EXPECT_EQ(result, SE_ERR_FNF);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  {
    ScopedVariable opener("KELO_STANDIN_OPENER", KELO_TEST_RESOURCE_LIST);  // exists, not executable
    EXPECT_LE(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", L"https://example.com", nullptr, nullptr, 1)),
              32);
  }
  ScopedVariable opener("KELO_STANDIN_OPENER", KELO_TEST_OPENER);
  EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"edit", L"https://example.com", nullptr, nullptr, 1)),
            SE_ERR_NOASSOC);
  EXPECT_NE(access(log.c_str(), F_OK), 0);  // nothing was started
}

}  // namespace
