#include "sim/PortLink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace PortLink {

bool make(const std::string &link, const std::string &target)
{
    char existing[4096];
    if (readlink(link.c_str(), existing, sizeof existing) >= 0)
        unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "lidar-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void remove(const std::string &link, const std::string &target)
{
    char existing[4096];
    const ssize_t n = readlink(link.c_str(), existing, sizeof existing - 1);
    if (n >= 0 && std::string(existing, size_t(n)) == target)
        unlink(link.c_str());
}

} // namespace PortLink
