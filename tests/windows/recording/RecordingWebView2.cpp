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

HRESULT STDMETHODCALLTYPE notImplemented () { return E_NOTIMPL; }

// A COM object: the method table first, then whatever the fake keeps.
struct Fake
{
	const void* table;
	ULONG references = 1;
	std::wstring text;    // request address, message, response reason
	std::wstring headers; // response headers
	int number = 0;       // permission kind, response status
	int state = 0;        // permission state set by the handler
	IStream* content = nullptr;
	Fake* response = nullptr;
	Fake* request = nullptr;
};

template <class Interface>
Interface* as (Fake* fake) { return reinterpret_cast<Interface*> (fake); }
Fake* of (void* object) { return static_cast<Fake*> (object); }

ULONG STDMETHODCALLTYPE addRef (Fake* self) { return ++self->references; }
ULONG STDMETHODCALLTYPE release (Fake* self)
{
	const ULONG left = --self->references;
	if (left == 0)
	{
		for (Fake* held : {self->response, self->request})
			if (held)
				release (held);
		if (self->content)
			self->content->Release ();
		delete self;
	}
	return left;
}
HRESULT STDMETHODCALLTYPE queryInterface (Fake* self, REFIID, void** object)
{
	addRef (self);
	*object = self;
	return S_OK;
}

// The slot of a virtual method, from the Itanium ABI's member pointer
// (offset in the table plus one).
template <class Method>
size_t slotOf (Method method)
{
	struct Raw { ptrdiff_t pointer, adjust; } raw;
	static_assert (sizeof raw == sizeof method);
	std::memcpy (&raw, &method, sizeof raw);
	return static_cast<size_t> (raw.pointer - 1) / sizeof (void*);
}

struct Table
{
	Slots slots;
	Table ()
	{
		slots.fill (reinterpret_cast<void*> (&notImplemented));
		slots[0] = reinterpret_cast<void*> (&queryInterface);
		slots[1] = reinterpret_cast<void*> (&addRef);
		slots[2] = reinterpret_cast<void*> (&release);
	}
	template <class Interface, class... Args>
	Table& set (HRESULT (STDMETHODCALLTYPE Interface::*method) (Args...),
	            HRESULT (STDMETHODCALLTYPE* function) (Fake*, Args...))
	{
		slots.at (slotOf (method)) = reinterpret_cast<void*> (function);
		return *this;
	}
};

std::string narrow (const wchar_t* text)
{
	std::string out;
	for (; text && *text; ++text)
		out += *text < 128 ? static_cast<char> (*text) : '?';
	return out;
}

LPWSTR taskCopy (const std::wstring& text)
{
	auto* copy = static_cast<LPWSTR> (CoTaskMemAlloc ((text.size () + 1) * sizeof (wchar_t)));
	std::copy (text.c_str (), text.c_str () + text.size () + 1, copy);
	return copy;
}

struct Held
{
	std::string method;
	IUnknown* handler;
	std::function<void (HRESULT)> run;
};

struct Recorder
{
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
	HWND parent = nullptr;
	RECT bounds {};

	// Writes the call down; a failure set for it is the answer.
	HRESULT call (const char* method, const std::string& detail = {})
	{
		log += method + (detail.empty () ? "" : " " + detail) + "\n";
		for (auto& failure : failures)
			if (failure.first == method)
				return failure.second;
		return S_OK;
	}
	void hold (const char* method, IUnknown* handler, std::function<void (HRESULT)> run)
	{
		handler->AddRef ();
		held.push_back ({method, handler, std::move (run)});
	}
	static void drop (IUnknown*& object)
	{
		if (object)
			object->Release ();
		object = nullptr;
	}
	void closeEvents ()
	{
		drop (resourceHandler);
		drop (messageHandler);
		drop (permissionHandler);
	}
	void reset ()
	{
		for (auto& entry : held)
			entry.handler->Release ();
		held.clear ();
		closeEvents ();
		for (Fake** fake : {&environment, &controller, &webview, &settings})
			if (*fake)
				release (std::exchange (*fake, nullptr));
		log.clear ();
		failures.clear ();
		parent = nullptr;
		bounds = {};
	}
};

Recorder recorder;

Fake* make (const Table& table)
{
	auto* fake = new Fake;
	fake->table = table.slots.data ();
	return fake;
}

void keep (IUnknown*& slot, IUnknown* handler)
{
	Recorder::drop (slot);
	slot = handler;
	if (handler)
		handler->AddRef ();
}

// ---------------------------------------------------------------- objects

const Table& requestTable ()
{
	static Table table = Table ().set (&ICoreWebView2WebResourceRequest::get_Uri, +[] (Fake* self, LPWSTR* uri) {
		*uri = taskCopy (self->text);
		return S_OK;
	});
	return table;
}

const Table& requestArgsTable ()
{
	static Table table =
	    Table ()
	        .set (&ICoreWebView2WebResourceRequestedEventArgs::get_Request,
	              +[] (Fake* self, ICoreWebView2WebResourceRequest** request) {
		              addRef (self->request);
		              *request = as<ICoreWebView2WebResourceRequest> (self->request);
		              return S_OK;
	              })
	        .set (&ICoreWebView2WebResourceRequestedEventArgs::put_Response,
	              +[] (Fake* self, ICoreWebView2WebResourceResponse* response) {
		              addRef (of (response));
		              if (self->response)
			              release (self->response);
		              self->response = of (response);
		              return S_OK;
	              });
	return table;
}

const Table& messageArgsTable ()
{
	static Table table = Table ().set (&ICoreWebView2WebMessageReceivedEventArgs::TryGetWebMessageAsString,
	                                   +[] (Fake* self, LPWSTR* text) {
		                                   *text = taskCopy (self->text);
		                                   return S_OK;
	                                   });
	return table;
}

const Table& permissionArgsTable ()
{
	static Table table =
	    Table ()
	        .set (&ICoreWebView2PermissionRequestedEventArgs::get_PermissionKind,
	              +[] (Fake* self, COREWEBVIEW2_PERMISSION_KIND* kind) {
		              *kind = static_cast<COREWEBVIEW2_PERMISSION_KIND> (self->number);
		              return S_OK;
	              })
	        .set (&ICoreWebView2PermissionRequestedEventArgs::put_State,
	              +[] (Fake* self, COREWEBVIEW2_PERMISSION_STATE state) {
		              self->state = state;
		              return S_OK;
	              });
	return table;
}

const Table& settingsTable ()
{
	static Table table = Table ().set (&ICoreWebView2Settings::put_AreDevToolsEnabled, +[] (Fake*, BOOL enabled) {
		return recorder.call ("put_AreDevToolsEnabled", std::to_string (enabled));
	});
	return table;
}

const Table& webviewTable ()
{
	static Table table =
	    Table ()
	        .set (&ICoreWebView2::get_Settings, +[] (Fake*, ICoreWebView2Settings** settings) {
		        recorder.settings = recorder.settings ? recorder.settings : make (settingsTable ());
		        addRef (recorder.settings);
		        *settings = as<ICoreWebView2Settings> (recorder.settings);
		        return recorder.call ("get_Settings");
	        })
	        .set (&ICoreWebView2::Navigate,
	              +[] (Fake*, LPCWSTR uri) { return recorder.call ("Navigate", narrow (uri)); })
	        .set (&ICoreWebView2::OpenDevToolsWindow, +[] (Fake*) { return recorder.call ("OpenDevToolsWindow"); })
	        .set (&ICoreWebView2::AddWebResourceRequestedFilter,
	              +[] (Fake*, LPCWSTR uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
		              return recorder.call ("AddWebResourceRequestedFilter",
		                                    narrow (uri) + " " + std::to_string (context));
	              })
	        .set (&ICoreWebView2::add_WebResourceRequested,
	              +[] (Fake*, ICoreWebView2WebResourceRequestedEventHandler* handler, EventRegistrationToken*) {
		              keep (recorder.resourceHandler, handler);
		              return recorder.call ("add_WebResourceRequested");
	              })
	        .set (&ICoreWebView2::add_WebMessageReceived,
	              +[] (Fake*, ICoreWebView2WebMessageReceivedEventHandler* handler, EventRegistrationToken*) {
		              keep (recorder.messageHandler, handler);
		              return recorder.call ("add_WebMessageReceived");
	              })
	        .set (&ICoreWebView2::add_PermissionRequested,
	              +[] (Fake*, ICoreWebView2PermissionRequestedEventHandler* handler, EventRegistrationToken*) {
		              keep (recorder.permissionHandler, handler);
		              return recorder.call ("add_PermissionRequested");
	              })
	        .set (&ICoreWebView2::AddScriptToExecuteOnDocumentCreated,
	              +[] (Fake*, LPCWSTR script, ICoreWebView2AddScriptToExecuteOnDocumentCreatedCompletedHandler* done) {
		              const HRESULT answer = recorder.call ("AddScriptToExecuteOnDocumentCreated",
		                                                    narrow (script).substr (0, 40));
		              if (SUCCEEDED (answer) && done)
			              recorder.hold ("AddScriptToExecuteOnDocumentCreated", done,
			                             [done] (HRESULT error) { done->Invoke (error, L"id"); });
		              return answer;
	              })
	        .set (&ICoreWebView2::ExecuteScript,
	              +[] (Fake*, LPCWSTR script, ICoreWebView2ExecuteScriptCompletedHandler* done) {
		              const HRESULT answer = recorder.call ("ExecuteScript", narrow (script));
		              if (SUCCEEDED (answer) && done)
			              recorder.hold ("ExecuteScript", done,
			                             [done] (HRESULT error) { done->Invoke (error, L"null"); });
		              return answer;
	              });
	return table;
}

const Table& controllerTable ()
{
	static Table table =
	    Table ()
	        .set (&ICoreWebView2Controller::put_Bounds,
	              +[] (Fake*, RECT bounds) {
		              recorder.bounds = bounds;
		              return recorder.call ("put_Bounds");
	              })
	        .set (&ICoreWebView2Controller::Close,
	              +[] (Fake*) {
		              recorder.closeEvents ();
		              return recorder.call ("Close");
	              })
	        .set (&ICoreWebView2Controller::get_CoreWebView2, +[] (Fake*, ICoreWebView2** webview) {
		        recorder.webview = recorder.webview ? recorder.webview : make (webviewTable ());
		        addRef (recorder.webview);
		        *webview = as<ICoreWebView2> (recorder.webview);
		        return recorder.call ("get_CoreWebView2");
	        });
	return table;
}

const Table& environmentTable ()
{
	static Table table =
	    Table ()
	        .set (&ICoreWebView2Environment::CreateCoreWebView2Controller,
	              +[] (Fake*, HWND parent, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* done) {
		              recorder.parent = parent;
		              const HRESULT answer = recorder.call ("CreateCoreWebView2Controller");
		              if (SUCCEEDED (answer))
			              recorder.hold ("CreateCoreWebView2Controller", done, [done] (HRESULT error) {
				              recorder.controller = recorder.controller ? recorder.controller : make (controllerTable ());
				              done->Invoke (error, FAILED (error) ? nullptr
				                                                  : as<ICoreWebView2Controller> (recorder.controller));
			              });
		              return answer;
	              })
	        .set (&ICoreWebView2Environment::CreateWebResourceResponse,
	              +[] (Fake*, IStream* content, int status, LPCWSTR reason, LPCWSTR headers,
	                   ICoreWebView2WebResourceResponse** response) {
		              Fake* made = make (Table ());
		              made->number = status;
		              made->text = reason ? reason : L"";
		              made->headers = headers ? headers : L"";
		              made->content = content;
		              if (content)
			              content->AddRef ();
		              *response = as<ICoreWebView2WebResourceResponse> (made);
		              return S_OK;
	              });
	return table;
}

// ---------------------------------------------------------------- control

template <class Handler, class Args>
HRESULT raise (IUnknown* handler, Fake* args)
{
	if (!handler)
		return E_UNEXPECTED;
	return static_cast<Handler*> (handler)->Invoke (as<ICoreWebView2> (recorder.webview), as<Args> (args));
}

const RecordingWebView2 api {
    [] { recorder.reset (); },
    [] { return recorder.log.c_str (); },
    [] (const char* method, HRESULT error) { recorder.failures.emplace_back (method, error); },
    [] (const char* method, HRESULT error, int count) {
	    std::vector<Held> due;
	    for (auto it = recorder.held.begin (); it != recorder.held.end () && count != 0;)
	    {
		    if (it->method != method)
		    {
			    ++it;
			    continue;
		    }
		    due.push_back (std::move (*it));
		    it = recorder.held.erase (it);
		    --count;
	    }
	    for (auto& entry : due)
	    {
		    entry.run (error);
		    entry.handler->Release ();
	    }
	    return static_cast<int> (due.size ());
    },
    [] (const wchar_t* uri, int* status, const wchar_t** headers, IStream** content) {
	    Fake* args = make (requestArgsTable ());
	    args->request = make (requestTable ());
	    args->request->text = uri;
	    const HRESULT answer =
	        raise<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2WebResourceRequestedEventArgs> (
	            recorder.resourceHandler, args);
	    static std::wstring lastHeaders;
	    lastHeaders = args->response ? args->response->headers : L"";
	    *status = args->response ? args->response->number : 0;
	    *headers = lastHeaders.c_str ();
	    *content = args->response ? args->response->content : nullptr;
	    if (*content)
		    (*content)->AddRef ();
	    release (args);
	    return answer;
    },
    [] (const wchar_t* text) {
	    Fake* args = make (messageArgsTable ());
	    args->text = text;
	    const HRESULT answer =
	        raise<ICoreWebView2WebMessageReceivedEventHandler, ICoreWebView2WebMessageReceivedEventArgs> (
	            recorder.messageHandler, args);
	    release (args);
	    return answer;
    },
    [] (int kind, int* state) {
	    Fake* args = make (permissionArgsTable ());
	    args->number = kind;
	    const HRESULT answer =
	        raise<ICoreWebView2PermissionRequestedEventHandler, ICoreWebView2PermissionRequestedEventArgs> (
	            recorder.permissionHandler, args);
	    *state = args->state;
	    release (args);
	    return answer;
    },
    [] { return recorder.parent; },
    [] { return recorder.bounds; },
};

} // namespace

extern "C" const RecordingWebView2* RecordingWebView2Api () { return &api; }

STDAPI CreateCoreWebView2EnvironmentWithOptions (PCWSTR, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions*,
                                                 ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* done)
{
	const HRESULT answer = recorder.call ("CreateCoreWebView2EnvironmentWithOptions", narrow (userDataFolder));
	if (SUCCEEDED (answer))
		recorder.hold ("CreateCoreWebView2EnvironmentWithOptions", done, [done] (HRESULT error) {
			recorder.environment = recorder.environment ? recorder.environment : make (environmentTable ());
			done->Invoke (error, FAILED (error) ? nullptr : as<ICoreWebView2Environment> (recorder.environment));
		});
	return answer;
}
