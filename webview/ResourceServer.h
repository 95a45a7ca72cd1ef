#pragma once

#include <windows.h>

#include <WebView2.h>

#include <string>

namespace webhost {

// Answers the browser's requests for the private origin from raw-data
// resources of the plug-in module: nothing is read from disk and nothing goes
// to the network. Keeps no state; runs on the user-interface thread inside
// WebView2's resource-request event.
class ResourceServer {
 public:
  // Sets the response for one request: the resource's bytes with its content
  // type and "Cache-Control: no-store", or an empty 404. Answers S_OK without
  // a response for an address outside the private origin, and the failing
  // HRESULT (no response) when the request, the module or the resource
  // cannot be read.
  static HRESULT Serve(ICoreWebView2Environment* environment, ICoreWebView2WebResourceRequestedEventArgs* args);

  // The steps of Serve, for its tests.
  //
  // The upper-cased path of `uri` below the private origin, without query or
  // fragment; "INDEX.HTML" for the origin itself. False when `uri` lies
  // outside the origin.
  static bool RequestPath(const std::wstring& uri, std::wstring* upperPath);
  // "KELO_" + the path with every unit outside [0-9A-Z_] turned into '_'.
  static std::wstring ResourceName(const std::wstring& upperPath);
  // Whether the path names a file the module may hold (no folders).
  static bool IsServable(const std::wstring& upperPath);
  // The content type sent for the path, by its extension.
  static const wchar_t* ContentType(const std::wstring& upperPath);
  // The response headers for that content type, each line ending in CR LF.
  static std::wstring Headers(const std::wstring& upperPath);
};

}  // namespace webhost
