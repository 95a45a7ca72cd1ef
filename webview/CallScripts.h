#pragma once

#include <string>

#include <nlohmann/json.hpp>

// The script texts of the page-to-native call protocol. They are fixed texts:
// the page bridge depends on every byte of them, so change none lightly.
namespace webhost {

// Added by the browser before any stub; every stub posts through it. It also
// starts each document's call numbers at a random point below 2^30, so that
// a settling script meant for the previous document (issued just before a
// reload) finds no call of the next one to settle.
inline constexpr char kExternalInvokeScript[] =
    "window.external={invoke:s=>window.chrome.webview.postMessage(s)};"
    "window._rpc={nextSeq:1+Math.floor(Math.random()*1073741824)}";

// The only reason a failed call is rejected with; the cause stays native.
inline constexpr char kInvalidNativeRequest[] = "Invalid native request";

// Everything of a stub after its name. All stubs share window._rpc and its
// counter, so sequence numbers are unique across names within a document.
inline constexpr char kStubBody[] =
    "\n"
    "     var RPC = window._rpc = (window._rpc || {nextSeq: 1});\n"
    "     window[name] = function() {\n"
    "       var seq = RPC.nextSeq++;\n"
    "       var promise = new Promise(function(resolve, reject) {\n"
    "         RPC[seq] = {\n"
    "           resolve: resolve,\n"
    "           reject: reject,\n"
    "         };\n"
    "       });\n"
    "       window.external.invoke(JSON.stringify({\n"
    "         id: seq,\n"
    "         method: name,\n"
    "         params: Array.prototype.slice.call(arguments),\n"
    "       }));\n"
    "       return promise;\n"
    "     }\n"
    "   })()";

// Names are written into scripts without quoting, so only names that cannot
// break out of a string literal are accepted: an ASCII letter, '_' or '$',
// followed by ASCII letters, digits, '_' or '$'.
bool IsBindableName(const std::string& name);

// The document-creation script that defines window[name]. `name` must be
// bindable.
std::string MakeStubScript(const std::string& name);

// The script that removes window[name] again. `name` must be bindable.
std::string MakeUnbindScript(const std::string& name);

// The script that settles call `seq` in the page: status 0 resolves the
// call's Promise with `result`, any other status rejects it. Throws the JSON
// library's type_error when `result` holds a string that is not valid UTF-8.
std::string MakeSettlingScript(int seq, int status, const nlohmann::json& result);

}  // namespace webhost
