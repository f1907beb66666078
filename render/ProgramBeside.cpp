#include "render/ProgramBeside.h"

#include <unistd.h>

#include <climits>

std::string ProgramBeside(const std::string& name) {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::string();
    std::string path(self, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    path = path.substr(0, slash + 1) + name;
    return access(path.c_str(), X_OK) == 0 ? path : std::string();
}
