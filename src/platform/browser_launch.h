// Handing an address to the user's web browser without putting it on a command line.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Writes a small page that forwards to `address` into `redirectFile`, mode 0600, so that
// other users cannot read the secret the address holds.
void writeRedirectFile(const std::string& address, const std::filesystem::path& redirectFile);

// Asks the desktop to open that file in the browser (xdg-open). Returns false when there is
// no desktop to ask (no display) or xdg-open cannot start.
bool openInBrowser(const std::filesystem::path& redirectFile);

} // namespace platform
