// The online check: is there a network connection beyond this machine?
#pragma once

namespace platform {

// True when an interface other than loopback is up and a route (IPv4 or IPv6) leaves through
// it. This is what "the computer is online" means to the logic; it makes no request.
bool systemOnline();

} // namespace platform
