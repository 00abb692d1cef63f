// The GPRS library: dialling the operator's data connection, the MMS proxy
// exchange and the hand-over of the modem between the gateway service and
// the console, loaded at run time from beside the console's executable. It
// counts as present only when its eleven required functions all resolve;
// four more are used when found.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gprs/mmswap_abi.h"
#include "platform/platform.h"

namespace ovr::platform {
class DynamicLibrary;
}

namespace ovr::gprs {

inline constexpr const char* kGprsLibraryName = "libmmswap.so";
// The simulated platform's library: it plays the operator from files of the
// simulation root.
inline constexpr const char* kSimGprsLibraryName = "libmmswap-sim.so";

class GprsLibrary {
public:
    // The process's library for the platform, loaded once (on first use) and
    // kept loaded, also when absent; nullptr when absent.
    static const GprsLibrary* instance(const platform::Platform* p);
    // Loads a library by name or path; nullptr when it cannot be loaded or a
    // required function is missing (it is unloaded again then).
    static std::unique_ptr<GprsLibrary> load(const std::string& name);
    ~GprsLibrary();
    GprsLibrary(const GprsLibrary&) = delete;
    GprsLibrary& operator=(const GprsLibrary&) = delete;

    // The machine's connections, through RasLoadListOrComboBox.
    std::vector<std::string> network_connections() const;
    const std::string& path() const;

    WSPRasDialFn dial = nullptr;
    WSPRasHangUpFn hang_up = nullptr;
    ModemAllocateFn modem_allocate = nullptr;
    ModemReleaseFn modem_release = nullptr;
    RasLoadListOrComboBoxFn load_list = nullptr;
    // Optional.
    ModemGetCIDForAPNFn cid_for_apn = nullptr;
    ModemDriverUpdateInitStringsFn driver_update = nullptr;
    WSPRasGetErrorStringFn error_string = nullptr;

    // Keeps the library mapped for as long as someone holds it: a dial
    // that was given up on may still be running inside it.
    std::shared_ptr<platform::DynamicLibrary> keep_loaded() const { return lib_; }

private:
    GprsLibrary() = default;
    std::shared_ptr<platform::DynamicLibrary> lib_;
};

}  // namespace ovr::gprs
