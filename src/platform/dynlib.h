// Libraries loaded at run time (the TLS library, the GPRS library), looked up
// beside the console's executable.
#pragma once

#include <memory>
#include <string>

namespace ovr::platform {

class DynamicLibrary {
public:
    // Loads "<directory of the executable>/<name>"; a name holding "/" is used
    // as it is. Nothing when the library cannot be loaded.
    static std::unique_ptr<DynamicLibrary> load(const std::string& name);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // The address of a symbol, or nullptr.
    void* symbol(const std::string& name) const;
    const std::string& path() const { return path_; }

private:
    DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

// Path of the running executable and its directory (ending with "/").
std::string executable_path();
std::string executable_directory();

// An environment variable, or "" when it is not set.
std::string get_env(const char* name);

}  // namespace ovr::platform
