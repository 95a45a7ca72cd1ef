#pragma once

#include <windows.h>

namespace webhost {

// The https origin the embedded page is served under. The host name is
// reserved (RFC 2606) and resolves nowhere, so no request for it can leave
// the machine even when it escapes the resource server.
inline constexpr char kPrivateOrigin[] = "https://kelo.invalid";

// Whether an address belongs to the private origin: only documents from it
// are answered, granted permissions or allowed into the view. Null is not.
bool IsPrivateAddress(const WCHAR* address) noexcept;

// Opens an http or https address in the user's default browser, as the
// brand link does; anything else (file:, javascript:, ...) is ignored.
void OpenInSystemBrowser(const WCHAR* address) noexcept;

}  // namespace webhost
