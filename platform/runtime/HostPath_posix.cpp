#include "platform/runtime/HostPath.h"

#include <unistd.h>

namespace platform {

std::string ExecutableDirectory() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", &path[0], path.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind('/') + 1);
}

}  // namespace platform
