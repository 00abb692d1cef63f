#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovr::platform {
namespace {

constexpr const char* kGlobalPrefix = "Global\\";
// Blocks larger than this are not the services' and are not mapped.
constexpr size_t kMaxBlock = 16u << 20;

class PosixBlock final : public SharedBlock {
public:
    PosixBlock(void* p, size_t n) : p_(p), n_(n) {}
    ~PosixBlock() override { munmap(p_, n_); }
    uint8_t* data() override { return static_cast<uint8_t*>(p_); }
    size_t size() const override { return n_; }

private:
    void* p_;
    size_t n_;
};

std::unique_ptr<SharedBlock> map_fd(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size <= 0 || static_cast<uint64_t>(st.st_size) > kMaxBlock) {
        close(fd);
        return nullptr;
    }
    size_t n = static_cast<size_t>(st.st_size);
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    // The mapping outlives the descriptor.
    close(fd);
    if (p == MAP_FAILED) return nullptr;
    return std::make_unique<PosixBlock>(p, n);
}

class PosixSharedMemory final : public SharedMemory {
public:
    explicit PosixSharedMemory(std::string scope) : scope_(std::move(scope)) {}

    std::string object_name(const std::string& name) const override {
        std::string base = name;
        std::string global;
        if (base.rfind(kGlobalPrefix, 0) == 0) {
            base = base.substr(7);
            global = "Global.";
        }
        std::string out = "/" + scope_ + global;
        for (char c : base) out += (c == '/' || c == '\\') ? '_' : c;
        return out;
    }

    std::unique_ptr<SharedBlock> open(const std::string& name) override {
        int fd = shm_open(object_name(name).c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) return nullptr;
        return map_fd(fd);
    }

    std::unique_ptr<SharedBlock> create(const std::string& name, size_t size) override {
        if (size == 0 || size > kMaxBlock) return nullptr;
        int fd = shm_open(object_name(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return nullptr;
        struct stat st {};
        if (fstat(fd, &st) != 0 || (static_cast<size_t>(st.st_size) != size && ftruncate(fd, static_cast<off_t>(size)) != 0)) {
            close(fd);
            return nullptr;
        }
        return map_fd(fd);
    }

    void unlink(const std::string& name) override { shm_unlink(object_name(name).c_str()); }

private:
    std::string scope_;
};

}  // namespace

std::shared_ptr<SharedMemory> make_posix_shared_memory(const std::string& scope) {
    return std::make_shared<PosixSharedMemory>(scope);
}

}  // namespace ovr::platform
