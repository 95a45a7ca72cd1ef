// The application-data folder, path joining and opening addresses.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

namespace {

using namespace std::string_literals;

// Sets or removes an environment variable for one scope.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) previous = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

 private:
  const char* name;
  std::optional<std::string> previous;
};

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
    wchar_t path[MAX_PATH] = L"unchanged";
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    EXPECT_EQ(SUCCEEDED(result) ? path : L"failed:" + std::wstring(path), c.expected)
        << (c.config ? c.config : "-") << " " << (c.home ? c.home : "-");
  }
}

TEST(ShellPaths, AppendPutsExactlyOneSeparatorBetweenThePartsAndFailsKeepingThePathWhenItWouldNotFit) {
  const std::wstring full(MAX_PATH - 5, L'a');  // + '/' + 4 = 260 units, no room for the NUL
  const struct {
    std::wstring base;
    const wchar_t* more;
    std::wstring expected;  // the base unchanged when it fails
  } cases[] = {
      {L"/home/a/.config", L"Kelo", L"/home/a/.config/Kelo"},
      {L"/home/a/.config/", L"Kelo", L"/home/a/.config/Kelo"},
      {L"/home/a/.config", L"/Kelo", L"/home/a/.config/Kelo"},
      {L"C:\\Users\\a\\AppData\\", L"Kelo", L"C:\\Users\\a\\AppData\\Kelo"},
      {L"", L"Kelo", L"Kelo"},
      {full, L"Kelo", full},
      {full, L"Kel", full + L"/Kel"},
  };
  for (const auto& c : cases) {
    wchar_t path[MAX_PATH];
    path[c.base.copy(path, c.base.size())] = L'\0';
    EXPECT_EQ(PathAppendW(path, c.more), c.expected != c.base) << c.more;
    EXPECT_EQ(path, c.expected) << c.more;
  }
}

INT_PTR Open(const wchar_t* verb, const wchar_t* address) {
  return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, verb, address, nullptr, nullptr, SW_SHOWNORMAL));
}

// The test opener records its arguments and then stays alive until released.
TEST(ShellExecute, StartsTheOpenerWithTheAddressWithoutWaitingAndFailsWithACodeOfAtMost32) {
  char folder[] = "/tmp/kelo-opener-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string log = folder + "/log"s;
  const auto exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
  ScopedVariable logVariable("KELO_TEST_OPENER_LOG", log.c_str());
  {
    ScopedVariable opener("KELO_STANDIN_OPENER", "/nonexistent/opener");
    SetLastError(0);
    EXPECT_EQ(Open(L"open", L"https://example.com"), SE_ERR_FNF);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  }
  {
    ScopedVariable opener("KELO_STANDIN_OPENER", "/etc/passwd");  // exists, not executable
    EXPECT_LE(Open(L"open", L"https://example.com"), 32);
  }
  ScopedVariable opener("KELO_STANDIN_OPENER", KELO_TEST_OPENER);
  EXPECT_EQ(Open(L"edit", L"https://example.com"), SE_ERR_NOASSOC);
  EXPECT_GT(Open(L"open", L"https://example.com/k\u00e9lo?a=1&b=2 c"), 32);
  for (int i = 0; i < 1000 && !exists(log); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(log);
  const std::string recorded((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(recorded.find("argc 1\narg https://example.com/k\xC3\xA9lo?a=1&b=2 c\n"), std::string::npos) << recorded;
  // Still running, held by the test: the call did not wait. Nor is it, or a
  // process between, left as our child.
  EXPECT_EQ(kill(std::atoi(recorded.c_str() + recorded.find("pid ") + 4), 0), 0);
  EXPECT_FALSE(exists(log + ".done"));
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  std::ofstream(log + ".release").put('\n');
  for (int i = 0; i < 1000 && !exists(log + ".done"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (const char* suffix : {"", ".release", ".done"}) unlink((log + suffix).c_str());
  rmdir(folder);
}

}  // namespace
