// One web message round trip through the WebView2 stand-in: the page posts,
// the handler runs on the UI thread and answers with ExecuteScript, the page
// sees the answer and posts again. Each gap between two arrivals is one round
// trip. Prints the median and the 99th percentile over kRounds trips; the
// goal is a median under 1 ms and a p99 under 5 ms.
#include <WebView2.h>
#include <shlwapi.h>
#include <standin/ThreadTasks.h>
#include <stdlib.h>
#include <windows.h>
#include <wrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Microsoft::WRL::Callback;
using Microsoft::WRL::ComPtr;

constexpr int kRounds = 1000;
constexpr int kWarmUp = 50;
constexpr int kTimeoutMs = 60000;
constexpr wchar_t kPage[] = L"https://kelo.invalid/bench.html";
// Each answer makes the page post the next number.
constexpr char kPageText[] =
    "<script>window.settle = k => window.chrome.webview.postMessage(String(k + 1));"
    "window.chrome.webview.postMessage('0');</script>";

struct Run {
  std::vector<Clock::time_point> arrivals;
  bool failed = false;
};

int Fail(const char* what) {
  std::fprintf(stderr, "webview2 round trip: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelo-wv2-bench-XXXXXX").string();
  std::filesystem::path folder = mkdtemp(pattern.data());

  auto environment = std::make_shared<ComPtr<ICoreWebView2Environment>>();
  auto controller = std::make_shared<ComPtr<ICoreWebView2Controller>>();
  if (FAILED(CreateCoreWebView2EnvironmentWithOptions(
          nullptr, folder.wstring().c_str(), nullptr,
          Callback<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
              [environment](HRESULT result, ICoreWebView2Environment* made) -> HRESULT {
                if (SUCCEEDED(result)) *environment = made;
                return S_OK;
              })
              .Get())))
    return Fail("no browser");
  if (!standin::PumpUntil([environment] { return bool(*environment); }, kTimeoutMs)) return Fail("no environment");
  (*environment)
      ->CreateCoreWebView2Controller(nullptr,
                                     Callback<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler>(
                                         [controller](HRESULT result, ICoreWebView2Controller* made) -> HRESULT {
                                           if (SUCCEEDED(result)) *controller = made;
                                           return S_OK;
                                         })
                                         .Get());
  if (!standin::PumpUntil([controller] { return bool(*controller); }, kTimeoutMs)) return Fail("no controller");
  ComPtr<ICoreWebView2> webview;
  (*controller)->get_CoreWebView2(&webview);

  ComPtr<ICoreWebView2Environment> env = *environment;
  EventRegistrationToken token{};
  webview->AddWebResourceRequestedFilter(L"https://kelo.invalid/*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
  webview->add_WebResourceRequested(
      Callback<ICoreWebView2WebResourceRequestedEventHandler>([env](ICoreWebView2*,
                                                                    ICoreWebView2WebResourceRequestedEventArgs* args)
                                                                  -> HRESULT {
        ComPtr<IStream> stream;
        stream.Attach(SHCreateMemStream(reinterpret_cast<const BYTE*>(kPageText), sizeof kPageText - 1));
        ComPtr<ICoreWebView2WebResourceResponse> response;
        env->CreateWebResourceResponse(stream.Get(), 200, L"OK", L"Content-Type: text/html\r\n", &response);
        return args->put_Response(response.Get());
      }).Get(),
      &token);

  auto run = std::make_shared<Run>();
  ICoreWebView2* page = webview.Get();
  webview->add_WebMessageReceived(
      Callback<ICoreWebView2WebMessageReceivedEventHandler>([run, page](ICoreWebView2*,
                                                                        ICoreWebView2WebMessageReceivedEventArgs* args)
                                                                -> HRESULT {
        run->arrivals.push_back(Clock::now());
        LPWSTR text = nullptr;
        if (FAILED(args->TryGetWebMessageAsString(&text)) || text == nullptr) {
          run->failed = true;
          return S_OK;
        }
        std::wstring script = L"settle(" + std::wstring(text) + L")";
        CoTaskMemFree(text);
        if (run->arrivals.size() <= static_cast<size_t>(kWarmUp + kRounds))
          page->ExecuteScript(script.c_str(), nullptr);
        return S_OK;
      }).Get(),
      &token);
  webview->Navigate(kPage);
  bool finished = standin::PumpUntil(
      [run] { return run->failed || run->arrivals.size() > static_cast<size_t>(kWarmUp + kRounds); }, kTimeoutMs);
  (*controller)->Close();
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (!finished || run->failed) return Fail("the page stopped answering");

  std::vector<double> trips;
  for (size_t i = kWarmUp + 1; i < run->arrivals.size(); ++i)
    trips.push_back(std::chrono::duration<double, std::milli>(run->arrivals[i] - run->arrivals[i - 1]).count());
  std::sort(trips.begin(), trips.end());
  double median = trips[trips.size() / 2];
  double p99 = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
  std::printf(
      "webview2 message round trip over %zu trips (%s): median %.3f ms (goal < 1 ms), p99 %.3f ms (goal < 5 ms), max "
      "%.3f ms\n",
      trips.size(), getenv("DISPLAY") && *getenv("DISPLAY") ? "window" : "headless", median, p99, trips.back());
  return 0;
}
