// The online check, read from the kernel's interface list and routing tables.
#include "platform/online.h"

#include <fstream>
#include <ifaddrs.h>
#include <net/if.h>
#include <set>
#include <sstream>
#include <string>

namespace platform {

namespace {

// Interfaces that are up, running and not loopback.
std::set<std::string> activeInterfaces() {
    std::set<std::string> names;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return names;
    for (ifaddrs* a = list; a; a = a->ifa_next) {
        unsigned flags = a->ifa_flags;
        if ((flags & IFF_UP) && (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK) && a->ifa_name)
            names.insert(a->ifa_name);
    }
    ::freeifaddrs(list);
    return names;
}

// Interfaces that carry a route in /proc/net/route or /proc/net/ipv6_route.
bool routeLeavesThrough(const std::set<std::string>& interfaces) {
    std::ifstream v4("/proc/net/route");
    std::string line;
    std::getline(v4, line); // header
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (interfaces.contains(name))
            return true;
    }
    std::ifstream v6("/proc/net/ipv6_route");
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string field, name;
        // The device is the last of ten columns.
        while (fields >> field)
            name = field;
        if (interfaces.contains(name))
            return true;
    }
    return false;
}

} // namespace

bool systemOnline() {
    auto interfaces = activeInterfaces();
    return !interfaces.empty() && routeLeavesThrough(interfaces);
}

} // namespace platform
