// The recording WebView2 (see RecordingWebView2.h). Its objects are plain
// structures whose method tables are built at run time: every slot answers
// E_NOTIMPL unless a function of the exact signature was set for it, so only
// the calls the browser makes need writing down here.
#include "RecordingWebView2.h"

#include <WebView2.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Fake;
using Slots = std::array<void*, 64>;

HRESULT STDMETHODCALLTYPE notImplemented() {
  return E_NOTIMPL;
}

// A COM object: the method table first, then whatever the fake keeps.
struct Fake {
  const void* table;
  ULONG references = 1;
  std::wstring text;     // request address, message, response reason
  std::wstring headers;  // response headers
  int number = 0;        // permission kind, response status
  int state = 0;         // permission state set by the handler
  IStream* content = nullptr;
  Fake* response = nullptr;
  Fake* request = nullptr;
};

template <class Interface>
Interface* as(Fake* fake) {
  return reinterpret_cast<Interface*>(fake);
}
Fake* of(void* object) {
  return static_cast<Fake*>(object);
}

ULONG STDMETHODCALLTYPE addRef(Fake* self) {
  return ++self->references;
}
ULONG STDMETHODCALLTYPE release(Fake* self) {
  const ULONG left = --self->references;
  if (left == 0) {
    for (Fake* held : {self->response, self->request})
      if (held) release(held);
    if (self->content) self->content->Release();
    delete self;
  }
  return left;
}
HRESULT STDMETHODCALLTYPE queryInterface(Fake* self, REFIID, void** object) {
  addRef(self);
  *object = self;
  return S_OK;
}

// The slot of a virtual method, from the Itanium ABI's member pointer
// (offset in the table plus one).
template <class Method>
size_t slotOf(Method method) {
  struct Raw {
    ptrdiff_t pointer, adjust;
  } raw;
  static_assert(sizeof raw == sizeof method);
  std::memcpy(&raw, &method, sizeof raw);
  return static_cast<size_t>(raw.pointer - 1) / sizeof(void*);
}

struct Table {
  Slots slots;
  Table() {
    slots.fill(reinterpret_cast<void*>(&notImplemented));
    slots[0] = reinterpret_cast<void*>(&queryInterface);
    slots[1] = reinterpret_cast<void*>(&addRef);
    slots[2] = reinterpret_cast<void*>(&release);
  }
  template <class Interface, class... Args>
  Table& set(HRESULT (STDMETHODCALLTYPE Interface::*method)(Args...),
             HRESULT(STDMETHODCALLTYPE* function)(Fake*, Args...)) {
    slots.at(slotOf(method)) = reinterpret_cast<void*>(function);
    return *this;
  }
};

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

LPWSTR taskCopy(const std::wstring& text) {
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
  std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
  return copy;
}

struct Held {
  std::string method;
  IUnknown* handler;
  std::function<void(HRESULT)> run;
};

constexpr wchar_t kPageAddress[] = L"https://kelo.invalid/index.html";

struct Recorder {
  std::string log;
  std::vector<std::pair<std::string, HRESULT>> failures;
  std::vector<Held> held;
  Fake* environment = nullptr;
  Fake* controller = nullptr;
  Fake* webview = nullptr;
  Fake* settings = nullptr;
  IUnknown* resourceHandler = nullptr;
  IUnknown* messageHandler = nullptr;
  IUnknown* permissionHandler = nullptr;
  IUnknown* navigationHandler = nullptr;
  IUnknown* newWindowHandler = nullptr;
  std::wstring source = kPageAddress;
  HWND parent = nullptr;
  RECT bounds{};

  // Writes the call down; a failure set for it is the answer.
  HRESULT call(const char* method, const std::string& detail = {}) {
    log += method + (detail.empty() ? "" : " " + detail) + "\n";
    for (auto& failure : failures)
      if (failure.first == method) return failure.second;
    return S_OK;
  }
  void hold(const char* method, IUnknown* handler, std::function<void(HRESULT)> run) {
    handler->AddRef();
    held.push_back({method, handler, std::move(run)});
  }
  static void drop(IUnknown*& object) {
    if (object) object->Release();
    object = nullptr;
  }
  void closeEvents() {
    drop(resourceHandler);
    drop(messageHandler);
    drop(permissionHandler);
    drop(navigationHandler);
    drop(newWindowHandler);
  }
  void reset() {
    for (auto& entry : held) entry.handler->Release();
    held.clear();
    closeEvents();
    for (Fake** fake : {&environment, &controller, &webview, &settings})
      if (*fake) release(std::exchange(*fake, nullptr));
    log.clear();
    failures.clear();
    parent = nullptr;
    bounds = {};
    source = kPageAddress;
  }
};

Recorder recorder;

Fake* make(const Table& table) {
  auto* fake = new Fake;
  fake->table = table.slots.data();
  return fake;
}

void keep(IUnknown*& slot, IUnknown* handler) {
  Recorder::drop(slot);
  slot = handler;
  if (handler) handler->AddRef();
}

// ---------------------------------------------------------------- objects

using Handler = IUnknown*;

Fake* shared(Fake*& slot, const Table& table) {
  slot = slot ? slot : make(table);
  addRef(slot);
  return slot;
}

// Holds the completion of `method` until the test runs it.
template <class Done, class Result>
HRESULT holding(const char* method, const std::string& detail, Done* done, Result result) {
  const HRESULT answer = recorder.call(method, detail);
  if (SUCCEEDED(answer) && done)
    recorder.hold(method, done, [done, result](HRESULT error) { done->Invoke(error, result(error)); });
  return answer;
}

HRESULT STDMETHODCALLTYPE getUri(Fake* self, LPWSTR* uri) {
  return *uri = taskCopy(self->text), S_OK;
}
HRESULT STDMETHODCALLTYPE getMessage(Fake* self, LPWSTR* text) {
  return *text = taskCopy(self->text), S_OK;
}
// Where the events the fake raises come from: the page the module serves
// unless a test names another.
HRESULT STDMETHODCALLTYPE getPageAddress(Fake*, LPWSTR* text) {
  return *text = taskCopy(recorder.source), S_OK;
}
HRESULT STDMETHODCALLTYPE getKind(Fake* self, COREWEBVIEW2_PERMISSION_KIND* kind) {
  return *kind = static_cast<COREWEBVIEW2_PERMISSION_KIND>(self->number), S_OK;
}
HRESULT STDMETHODCALLTYPE putState(Fake* self, COREWEBVIEW2_PERMISSION_STATE state) {
  return self->state = state, S_OK;
}
HRESULT STDMETHODCALLTYPE getRequest(Fake* self, ICoreWebView2WebResourceRequest** request) {
  addRef(self->request);
  return *request = as<ICoreWebView2WebResourceRequest>(self->request), S_OK;
}
HRESULT STDMETHODCALLTYPE putResponse(Fake* self, ICoreWebView2WebResourceResponse* response) {
  addRef(of(response));
  if (self->response) release(self->response);
  return self->response = of(response), S_OK;
}
HRESULT STDMETHODCALLTYPE putDevTools(Fake*, BOOL on) {
  return recorder.call("put_AreDevToolsEnabled", std::to_string(on));
}
HRESULT STDMETHODCALLTYPE navigate(Fake*, LPCWSTR uri) {
  return recorder.call("Navigate", narrow(uri));
}
HRESULT STDMETHODCALLTYPE openDevTools(Fake*) {
  return recorder.call("OpenDevToolsWindow");
}
HRESULT STDMETHODCALLTYPE addFilter(Fake*, LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
  return recorder.call("AddWebResourceRequestedFilter", narrow(uri) + " " + std::to_string(context));
}
template <class Event, Handler Recorder::*slot>
HRESULT STDMETHODCALLTYPE addHandler(Fake*, Event* handler, EventRegistrationToken*) {
  keep(recorder.*slot, handler);
  return recorder.call("add_handler");
}
HRESULT STDMETHODCALLTYPE addScript(Fake*, LPCWSTR script,
                                    ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* done) {
  return holding("AddScriptToExecuteOnDocumentCreated", narrow(script).substr(0, 40), done,
                 [](HRESULT) { return L"id"; });
}
HRESULT STDMETHODCALLTYPE executeScript(Fake*, LPCWSTR script, ICoreWebView2ExecuteScriptCompletedHandler* done) {
  return holding("ExecuteScript", narrow(script), done, [](HRESULT) { return L"null"; });
}
HRESULT STDMETHODCALLTYPE putBounds(Fake*, RECT bounds) {
  return recorder.bounds = bounds, recorder.call("put_Bounds");
}
HRESULT STDMETHODCALLTYPE close(Fake*) {
  return recorder.closeEvents(), recorder.call("Close");
}

const Table& settingsTable() {
  static Table table = Table().set(&ICoreWebView2Settings::put_AreDevToolsEnabled, putDevTools);
  return table;
}
const Table& webviewTable();
HRESULT STDMETHODCALLTYPE getSettings(Fake*, ICoreWebView2Settings** settings) {
  *settings = as<ICoreWebView2Settings>(shared(recorder.settings, settingsTable()));
  return recorder.call("get_Settings");
}
HRESULT STDMETHODCALLTYPE getWebView(Fake*, ICoreWebView2** webview) {
  *webview = as<ICoreWebView2>(shared(recorder.webview, webviewTable()));
  return recorder.call("get_CoreWebView2");
}
const Table& controllerTable() {
  static Table table = Table()
                           .set(&ICoreWebView2Controller::put_Bounds, putBounds)
                           .set(&ICoreWebView2Controller::Close, close)
                           .set(&ICoreWebView2Controller::get_CoreWebView2, getWebView);
  return table;
}
HRESULT STDMETHODCALLTYPE createController(Fake*, HWND parent,
                                           ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* done) {
  recorder.parent = parent;
  return holding("CreateCoreWebView2Controller", "", done, [](HRESULT error) {
    recorder.controller = recorder.controller ? recorder.controller : make(controllerTable());
    return FAILED(error) ? nullptr : as<ICoreWebView2Controller>(recorder.controller);
  });
}
HRESULT STDMETHODCALLTYPE createResponse(Fake*, IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
                                         ICoreWebView2WebResourceResponse** response) {
  Fake* made = make(Table());
  made->number = status;
  made->text = reason ? reason : L"";
  made->headers = headers ? headers : L"";
  made->content = content;
  if (content) content->AddRef();
  return *response = as<ICoreWebView2WebResourceResponse>(made), S_OK;
}

const Table& webviewTable() {
  static Table table = Table()
                           .set(&ICoreWebView2::get_Settings, getSettings)
                           .set(&ICoreWebView2::Navigate, navigate)
                           .set(&ICoreWebView2::OpenDevToolsWindow, openDevTools)
                           .set(&ICoreWebView2::AddWebResourceRequestedFilter, addFilter)
                           .set(&ICoreWebView2::add_WebResourceRequested,
                                addHandler<ICoreWebView2WebResourceRequestedEventHandler, &Recorder::resourceHandler>)
                           .set(&ICoreWebView2::add_WebMessageReceived,
                                addHandler<ICoreWebView2WebMessageReceivedEventHandler, &Recorder::messageHandler>)
                           .set(&ICoreWebView2::add_PermissionRequested,
                                addHandler<ICoreWebView2PermissionRequestedEventHandler, &Recorder::permissionHandler>)
                           .set(&ICoreWebView2::add_NavigationStarting,
                                addHandler<ICoreWebView2NavigationStartingEventHandler, &Recorder::navigationHandler>)
                           .set(&ICoreWebView2::add_NewWindowRequested,
                                addHandler<ICoreWebView2NewWindowRequestedEventHandler, &Recorder::newWindowHandler>)
                           .set(&ICoreWebView2::AddScriptToExecuteOnDocumentCreated, addScript)
                           .set(&ICoreWebView2::ExecuteScript, executeScript);
  return table;
}
const Table& environmentTable() {
  static Table table = Table()
                           .set(&ICoreWebView2Environment::CreateCoreWebView2Controller, createController)
                           .set(&ICoreWebView2Environment::CreateWebResourceResponse, createResponse);
  return table;
}

// ---------------------------------------------------------------- control

// Raises an event with fresh arguments made from `table`; `fill` sets them
// up before and reads them after.
template <class Event, class Args>
HRESULT raise(Handler handler, const Table& table, const std::function<void(Fake*, bool)>& fill) {
  if (!handler) return E_UNEXPECTED;
  Fake* args = make(table);
  fill(args, false);
  const HRESULT answer = static_cast<Event*>(handler)->Invoke(as<ICoreWebView2>(recorder.webview), as<Args>(args));
  fill(args, true);
  release(args);
  return answer;
}

int complete(const char* method, HRESULT error, int count) {
  std::vector<Held> due;
  for (auto it = recorder.held.begin(); it != recorder.held.end() && count != 0;) {
    if (it->method != method) {
      ++it;
      continue;
    }
    due.push_back(std::move(*it));
    it = recorder.held.erase(it);
    --count;
  }
  for (auto& entry : due) {
    entry.run(error);
    entry.handler->Release();
  }
  return static_cast<int>(due.size());
}

HRESULT request(const wchar_t* uri, int* status, const wchar_t** headers, IStream** content) {
  static const Table args = Table()
                                .set(&ICoreWebView2WebResourceRequestedEventArgs::get_Request, getRequest)
                                .set(&ICoreWebView2WebResourceRequestedEventArgs::put_Response, putResponse);
  static const Table request = Table().set(&ICoreWebView2WebResourceRequest::get_Uri, getUri);
  static std::wstring lastHeaders;
  return raise<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2WebResourceRequestedEventArgs>(
      recorder.resourceHandler, args, [&](Fake* made, bool after) {
        if (!after) {
          made->request = make(request);
          made->request->text = uri;
          return;
        }
        Fake* response = made->response;
        lastHeaders = response ? response->headers : L"";
        *status = response ? response->number : 0;
        *headers = lastHeaders.c_str();
        *content = response ? response->content : nullptr;
        if (*content) (*content)->AddRef();
      });
}

HRESULT message(const wchar_t* text) {
  static const Table args = Table()
                                .set(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString, getMessage)
                                .set(&ICoreWebView2WebMessageReceivedEventArgs::get_Source, getPageAddress);
  return raise<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2WebMessageReceivedEventArgs>(
      recorder.messageHandler, args, [&](Fake* made, bool after) {
        if (!after) made->text = text;
      });
}

HRESULT permission(int kind, int* state) {
  static const Table args = Table()
                                .set(&ICoreWebView2PermissionRequestedEventArgs::get_Uri, getPageAddress)
                                .set(&ICoreWebView2PermissionRequestedEventArgs::get_PermissionKind, getKind)
                                .set(&ICoreWebView2PermissionRequestedEventArgs::put_State, putState);
  return raise<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2PermissionRequestedEventArgs>(
      recorder.permissionHandler, args, [&](Fake* made, bool after) {
        if (after)
          *state = made->state;
        else
          made->number = kind;
      });
}

const RecordingWebView2 api{
    [] { recorder.reset(); },
    [] { return recorder.log.c_str(); },
    [](const char* method, HRESULT error) { recorder.failures.emplace_back(method, error); },
    complete,
    request,
    message,
    permission,
    [] { return recorder.parent; },
    [] { return recorder.bounds; },
    [](const wchar_t* address) { recorder.source = address; },
};

}  // namespace

extern "C" const RecordingWebView2* RecordingWebView2Api() {
  return &api;
}

STDAPI CreateCoreWebView2EnvironmentWithOptions(PCWSTR, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions*,
                                                ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* done) {
  return holding("CreateCoreWebView2EnvironmentWithOptions", narrow(userDataFolder), done, [](HRESULT error) {
    recorder.environment = recorder.environment ? recorder.environment : make(environmentTable());
    return FAILED(error) ? nullptr : as<ICoreWebView2Environment>(recorder.environment);
  });
}
