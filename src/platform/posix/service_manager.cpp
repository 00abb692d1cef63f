#include "platform/service_manager.h"

namespace ovr::platform {
namespace {

// A systemd backend comes later; until then the host has no manager the
// console can reach, which the console treats like a missing manager.
class PosixServiceManager final : public ServiceManager {
public:
    std::unique_ptr<ManagerHandle> open_manager(uint32_t, uint32_t& error) override {
        error = kErrorCallNotImplemented;
        return nullptr;
    }
    int open_handles() const override { return 0; }
};

}  // namespace

std::shared_ptr<ServiceManager> make_posix_service_manager() { return std::make_shared<PosixServiceManager>(); }

}  // namespace ovr::platform
