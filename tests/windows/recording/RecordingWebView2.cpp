// The recording WebView2 (see RecordingWebView2.h). Its objects' method tables
// are built at run time, every slot answering E_NOTIMPL unless a function of
// the exact signature was set for it. (Wine only: no sanitizer sees them.)
#include "RecordingWebView2.h"

#include <WebView2.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// A COM object: the method table first, then whatever the fake keeps.
struct Fake {
  const void* table;
  ULONG references = 1;
  std::wstring text;  // request address, message, response headers
  int number = 0;     // permission kind, response status
  int state = 0;      // permission state set by the handler
  IStream* content = nullptr;
  Fake* request = nullptr;
  Fake* response = nullptr;

  template <class Interface>
  Interface* as() {
    return reinterpret_cast<Interface*>(this);
  }
  static HRESULT STDMETHODCALLTYPE notImplemented() { return E_NOTIMPL; }
  static HRESULT STDMETHODCALLTYPE queryInterface(Fake* self, REFIID, void** object) {
    return *object = self, addRef(self), S_OK;
  }
  static ULONG STDMETHODCALLTYPE addRef(Fake* self) { return ++self->references; }
  static ULONG STDMETHODCALLTYPE release(Fake* self) {
    if (--self->references > 0) return self->references;
    for (Fake* held : {self->request, self->response})
      if (held) release(held);
    if (self->content) self->content->Release();
    delete self;
    return 0;
  }
};

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
  std::array<void*, 64> slots;
  Table() {
    slots.fill(reinterpret_cast<void*>(&Fake::notImplemented));
    slots[0] = reinterpret_cast<void*>(&Fake::queryInterface);
    slots[1] = reinterpret_cast<void*>(&Fake::addRef);
    slots[2] = reinterpret_cast<void*>(&Fake::release);
  }
  template <class Interface, class... Args>
  Table& set(HRESULT (STDMETHODCALLTYPE Interface::*method)(Args...),
             HRESULT(STDMETHODCALLTYPE* function)(Fake*, Args...)) {
    slots.at(slotOf(method)) = reinterpret_cast<void*>(function);
    return *this;
  }
  Fake* make() const {
    auto* fake = new Fake;
    fake->table = slots.data();
    return fake;
  }
};

std::string narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
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

enum Event { kResource, kMessage, kPermission, kNavigation, kNewWindow, kEvents };
constexpr wchar_t kPageAddress[] = L"https://kelo.invalid/index.html";

struct Recorder {
  std::string log;
  std::vector<std::pair<std::string, HRESULT>> failures;
  std::vector<Held> held;
  std::array<Fake*, 4> objects{};  // environment, controller, web view, settings
  std::array<IUnknown*, kEvents> handlers{};
  std::wstring source = kPageAddress;

  // Writes the call down; a failure set for it is the answer.
  HRESULT call(const char* method, const std::string& detail = {}) {
    log += method + (detail.empty() ? "" : " " + detail) + "\n";
    for (auto& failure : failures)
      if (failure.first == method) return failure.second;
    return S_OK;
  }
  void closeEvents() {
    for (IUnknown*& handler : handlers)
      if (handler) std::exchange(handler, nullptr)->Release();
  }
  void reset() {
    for (auto& entry : held) entry.handler->Release();
    held.clear();
    closeEvents();
    for (Fake*& fake : objects)
      if (fake) Fake::release(std::exchange(fake, nullptr));
    log.clear();
    failures.clear();
    source = kPageAddress;
  }
  // The one object of kind `index`, made from `table` when first asked for;
  // `shared` hands out a reference of its own.
  Fake* object(int index, const Table& table) {
    if (!objects[index]) objects[index] = table.make();
    return objects[index];
  }
  Fake* shared(int index, const Table& table) { return Fake::addRef(object(index, table)), objects[index]; }
};

Recorder recorder;

// Writes the call down and holds its completion until the test runs it.
template <class Done, class Result>
HRESULT holding(const char* method, const std::string& detail, Done* done, Result result) {
  const HRESULT answer = recorder.call(method, detail);
  if (SUCCEEDED(answer) && done) {
    done->AddRef();
    recorder.held.push_back({method, done, [done, result](HRESULT error) { done->Invoke(error, result(error)); }});
  }
  return answer;
}

// ---------------------------------------------------------------- objects

// The calls the module makes, with the object they are made on first.
struct On {
  static HRESULT STDMETHODCALLTYPE getText(Fake* self, LPWSTR* text) { return *text = taskCopy(self->text), S_OK; }
  // Events come from the page the module serves unless a test names another.
  static HRESULT STDMETHODCALLTYPE getSource(Fake*, LPWSTR* text) { return *text = taskCopy(recorder.source), S_OK; }
  static HRESULT STDMETHODCALLTYPE getKind(Fake* self, COREWEBVIEW2_PERMISSION_KIND* kind) {
    return *kind = static_cast<COREWEBVIEW2_PERMISSION_KIND>(self->number), S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putState(Fake* self, COREWEBVIEW2_PERMISSION_STATE state) {
    return self->state = state, S_OK;
  }
  static HRESULT STDMETHODCALLTYPE getRequest(Fake* self, ICoreWebView2WebResourceRequest** request) {
    return *request = self->request->as<ICoreWebView2WebResourceRequest>(), Fake::addRef(self->request), S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putResponse(Fake* self, ICoreWebView2WebResourceResponse* response) {
    Fake::addRef(reinterpret_cast<Fake*>(response));
    if (self->response) Fake::release(self->response);
    return self->response = reinterpret_cast<Fake*>(response), S_OK;
  }
  static HRESULT STDMETHODCALLTYPE putDevTools(Fake*, BOOL on) {
    return recorder.call("put_AreDevToolsEnabled", std::to_string(on));
  }
  static HRESULT STDMETHODCALLTYPE navigate(Fake*, LPCWSTR uri) { return recorder.call("Navigate", narrow(uri)); }
  static HRESULT STDMETHODCALLTYPE openDevTools(Fake*) { return recorder.call("OpenDevToolsWindow"); }
  static HRESULT STDMETHODCALLTYPE addFilter(Fake*, LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    return recorder.call("AddWebResourceRequestedFilter", narrow(uri) + " " + std::to_string(context));
  }
  template <Event event, class Handler>
  static HRESULT STDMETHODCALLTYPE addHandler(Fake*, Handler* handler, EventRegistrationToken*) {
    if (recorder.handlers[event]) recorder.handlers[event]->Release();
    recorder.handlers[event] = handler;
    handler->AddRef();
    return recorder.call("add_handler");
  }
  static HRESULT STDMETHODCALLTYPE addScript(Fake*, LPCWSTR script,
                                             ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* done) {
    return holding("AddScriptToExecuteOnDocumentCreated", narrow(script).substr(0, 40), done,
                   [](HRESULT) { return L"id"; });
  }
  static HRESULT STDMETHODCALLTYPE executeScript(Fake*, LPCWSTR script,
                                                 ICoreWebView2ExecuteScriptCompletedHandler* done) {
    return holding("ExecuteScript", narrow(script), done, [](HRESULT) { return L"null"; });
  }
  static HRESULT STDMETHODCALLTYPE putBounds(Fake*, RECT r) {
    return recorder.call("put_Bounds", std::to_string(r.left) + " " + std::to_string(r.top) + " " +
                                           std::to_string(r.right) + " " + std::to_string(r.bottom));
  }
  static HRESULT STDMETHODCALLTYPE close(Fake*) { return recorder.closeEvents(), recorder.call("Close"); }
};

HRESULT STDMETHODCALLTYPE getSettings(Fake*, ICoreWebView2Settings** settings) {
  static const Table table = Table().set(&ICoreWebView2Settings::put_AreDevToolsEnabled, On::putDevTools);
  *settings = recorder.shared(3, table)->as<ICoreWebView2Settings>();
  return recorder.call("get_Settings");
}

HRESULT STDMETHODCALLTYPE getWebView(Fake*, ICoreWebView2** webview) {
  static const Table table = Table()
                                 .set(&ICoreWebView2::get_Settings, getSettings)
                                 .set(&ICoreWebView2::Navigate, On::navigate)
                                 .set(&ICoreWebView2::OpenDevToolsWindow, On::openDevTools)
                                 .set(&ICoreWebView2::AddWebResourceRequestedFilter, On::addFilter)
                                 .set(&ICoreWebView2::AddScriptToExecuteOnDocumentCreated, On::addScript)
                                 .set(&ICoreWebView2::ExecuteScript, On::executeScript)
                                 .set(&ICoreWebView2::add_WebResourceRequested, On::addHandler<kResource>)
                                 .set(&ICoreWebView2::add_WebMessageReceived, On::addHandler<kMessage>)
                                 .set(&ICoreWebView2::add_PermissionRequested, On::addHandler<kPermission>)
                                 .set(&ICoreWebView2::add_NavigationStarting, On::addHandler<kNavigation>)
                                 .set(&ICoreWebView2::add_NewWindowRequested, On::addHandler<kNewWindow>);
  *webview = recorder.shared(2, table)->as<ICoreWebView2>();
  return recorder.call("get_CoreWebView2");
}

const Table controllerTable = Table()
                                  .set(&ICoreWebView2Controller::put_Bounds, On::putBounds)
                                  .set(&ICoreWebView2Controller::Close, On::close)
                                  .set(&ICoreWebView2Controller::get_CoreWebView2, getWebView);

// The parent window is written down as its number.
HRESULT STDMETHODCALLTYPE createController(Fake*, HWND parent,
                                           ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* done) {
  return holding("CreateCoreWebView2Controller", std::to_string(reinterpret_cast<uintptr_t>(parent)), done,
                 [](HRESULT error) {
                   Fake* controller = recorder.object(1, controllerTable);
                   return FAILED(error) ? nullptr : controller->as<ICoreWebView2Controller>();
                 });
}
HRESULT STDMETHODCALLTYPE createResponse(Fake*, IStream* content, int status, LPCWSTR, LPCWSTR headers,
                                         ICoreWebView2WebResourceResponse** response) {
  static const Table bare;  // outlives every response, as a method table must
  Fake* made = bare.make();
  made->number = status;
  made->text = headers ? headers : L"";
  if ((made->content = content)) content->AddRef();
  return *response = made->as<ICoreWebView2WebResourceResponse>(), S_OK;
}

const Table environmentTable = Table()
                                   .set(&ICoreWebView2Environment::CreateCoreWebView2Controller, createController)
                                   .set(&ICoreWebView2Environment::CreateWebResourceResponse, createResponse);

// ---------------------------------------------------------------- control

// Raises event `event` with `args`; answers what its handler did.
template <class Handler, class Args>
HRESULT raise(Event event, Fake* args) {
  auto* handler = static_cast<Handler*>(recorder.handlers[event]);
  return handler ? handler->Invoke(recorder.objects[2]->as<ICoreWebView2>(), args->as<Args>()) : E_UNEXPECTED;
}

int complete(const char* method, HRESULT error, int count) {
  std::vector<Held> due, kept;
  // A negative count never reaches 0: all of them.
  for (Held& entry : recorder.held)
    (entry.method == method && count != 0 && count-- ? due : kept).push_back(std::move(entry));
  recorder.held = std::move(kept);
  for (auto& entry : due) {
    entry.run(error);
    entry.handler->Release();
  }
  return static_cast<int>(due.size());
}

const char* request(const wchar_t* uri, size_t* length) {
  static const Table argsTable = Table()
                                     .set(&ICoreWebView2WebResourceRequestedEventArgs::get_Request, On::getRequest)
                                     .set(&ICoreWebView2WebResourceRequestedEventArgs::put_Response, On::putResponse);
  static const Table requestTable = Table().set(&ICoreWebView2WebResourceRequest::get_Uri, On::getText);
  static std::string answer;
  Fake* args = argsTable.make();
  args->request = requestTable.make();
  args->request->text = uri;
  const HRESULT result =
      raise<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2WebResourceRequestedEventArgs>(kResource, args);
  const Fake* response = args->response;
  answer = std::to_string(result) + " " + std::to_string(response ? response->number : 0) + "\n" +
           narrow(response ? response->text : L"") + "\n";
  char buffer[4096];
  ULONG read = 0;
  while (response && response->content && SUCCEEDED(response->content->Read(buffer, sizeof buffer, &read)) && read > 0)
    answer.append(buffer, read);
  Fake::release(args);
  *length = answer.size();
  return answer.data();
}

HRESULT message(const wchar_t* text) {
  static const Table table = Table()
                                 .set(&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString, On::getText)
                                 .set(&ICoreWebView2WebMessageReceivedEventArgs::get_Source, On::getSource);
  Fake* args = table.make();
  args->text = text;
  const HRESULT answer =
      raise<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2WebMessageReceivedEventArgs>(kMessage, args);
  return Fake::release(args), answer;
}

HRESULT permission(int kind, int* state) {
  static const Table table = Table()
                                 .set(&ICoreWebView2PermissionRequestedEventArgs::get_Uri, On::getSource)
                                 .set(&ICoreWebView2PermissionRequestedEventArgs::get_PermissionKind, On::getKind)
                                 .set(&ICoreWebView2PermissionRequestedEventArgs::put_State, On::putState);
  Fake* args = table.make();
  args->number = kind;
  const HRESULT answer =
      raise<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2PermissionRequestedEventArgs>(kPermission, args);
  return *state = args->state, Fake::release(args), answer;
}

const RecordingWebView2 api{
    [] { recorder.reset(); },
    [] { return recorder.log.c_str(); },
    [](const char* method, HRESULT error) { recorder.failures.emplace_back(method, error); },
    complete,
    request,
    message,
    permission,
    [](const wchar_t* address) { recorder.source = address; },
};

}  // namespace

extern "C" const RecordingWebView2* RecordingWebView2Api() {
  return &api;
}

STDAPI CreateCoreWebView2EnvironmentWithOptions(PCWSTR, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions*,
                                                ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* done) {
  return holding("CreateCoreWebView2EnvironmentWithOptions", narrow(userDataFolder ? userDataFolder : L""), done,
                 [](HRESULT error) {
                   Fake* environment = recorder.object(0, environmentTable);
                   return FAILED(error) ? nullptr : environment->as<ICoreWebView2Environment>();
                 });
}
