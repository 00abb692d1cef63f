#include "platform/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace ovr::platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::load(const std::string& name) {
    std::string path = name.find('/') == std::string::npos ? executable_directory() + name : name;
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) return nullptr;
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(h, path));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) dlclose(handle_);
}

void* DynamicLibrary::symbol(const std::string& name) const { return dlsym(handle_, name.c_str()); }

std::string executable_path() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string executable_directory() {
    std::string p = executable_path();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? std::string("./") : p.substr(0, slash + 1);
}

std::string get_env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

}  // namespace ovr::platform
