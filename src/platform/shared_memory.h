// Named shared memory published by the services. A name of the form
// "Global\\NAME" is the machine-wide twin of NAME and maps to its own fixed
// object name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ovr::platform {

class SharedBlock {
public:
    virtual ~SharedBlock() = default;   // unmaps the view and closes the object
    virtual uint8_t* data() = 0;
    virtual size_t size() const = 0;
};

class SharedMemory {
public:
    virtual ~SharedMemory() = default;
    // Opens an existing block and maps all of it for reading and writing;
    // nothing when it does not exist or cannot be mapped.
    virtual std::unique_ptr<SharedBlock> open(const std::string& name) = 0;
    // For the services' side: creates (or reuses) the block with the size
    // and maps it.
    virtual std::unique_ptr<SharedBlock> create(const std::string& name, size_t size) = 0;
    // Removes the name; mapped views stay valid until closed.
    virtual void unlink(const std::string& name) = 0;
    // The object name a block name maps to.
    virtual std::string object_name(const std::string& name) const = 0;
};

// POSIX shared memory. `scope` is put in front of every object name so that
// simulation roots on one machine do not see each other's blocks; the real
// host uses none.
std::shared_ptr<SharedMemory> make_posix_shared_memory(const std::string& scope = {});

}  // namespace ovr::platform
