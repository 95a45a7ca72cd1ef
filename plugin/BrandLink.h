// Opens the maker's web page in the user's default browser.
#pragma once

namespace kelo {

// True when the shell accepted the request. Does not wait for the browser.
bool openMakerPage();

}  // namespace kelo
