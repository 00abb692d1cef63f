#include "gprs/gprs_library.h"

#include <cstring>
#include <mutex>

#include "platform/dynlib.h"

namespace ovr::gprs {

GprsLibrary::~GprsLibrary() = default;

const std::string& GprsLibrary::path() const { return lib_->path(); }

std::unique_ptr<GprsLibrary> GprsLibrary::load(const std::string& name) {
    auto lib = platform::DynamicLibrary::load(name);
    if (!lib) return nullptr;
    // Functions the console never calls must still be there: a library
    // without them is not the one the gateway service works with.
    for (const char* required : {"WSPRasDial", "WSPRasHangUp", "WSPConnect", "WSPDisconnect", "WSPRequest",
                                 "ModemAllocate", "ModemRequested", "ModemRelease", "RasLoadListOrComboBox",
                                 "RasGetUserAndPassword", "RasGetModemName"})
        if (!lib->symbol(required)) return nullptr;
    std::unique_ptr<GprsLibrary> g(new GprsLibrary);
    g->dial = reinterpret_cast<WSPRasDialFn>(lib->symbol("WSPRasDial"));
    g->hang_up = reinterpret_cast<WSPRasHangUpFn>(lib->symbol("WSPRasHangUp"));
    g->modem_allocate = reinterpret_cast<ModemAllocateFn>(lib->symbol("ModemAllocate"));
    g->modem_release = reinterpret_cast<ModemReleaseFn>(lib->symbol("ModemRelease"));
    g->load_list = reinterpret_cast<RasLoadListOrComboBoxFn>(lib->symbol("RasLoadListOrComboBox"));
    g->cid_for_apn = reinterpret_cast<ModemGetCIDForAPNFn>(lib->symbol("ModemGetCIDForAPN"));
    g->driver_update = reinterpret_cast<ModemDriverUpdateInitStringsFn>(lib->symbol("ModemDriverUpdateInitStrings"));
    g->error_string = reinterpret_cast<WSPRasGetErrorStringFn>(lib->symbol("WSPRasGetErrorString"));
    g->lib_ = std::move(lib);
    return g;
}

const GprsLibrary* GprsLibrary::instance(const platform::Platform* p) {
    static std::once_flag once;
    static std::unique_ptr<GprsLibrary> lib;
    std::call_once(once, [p] {
        bool sim = p && p->backend == platform::Backend::Sim;
        lib = load(sim ? kSimGprsLibraryName : kGprsLibraryName);
    });
    return lib.get();
}

std::vector<std::string> GprsLibrary::network_connections() const {
    std::vector<std::string> items;
    auto add = [](void* list, const char* item) {
        auto* v = static_cast<std::vector<std::string>*>(list);
        // A library gone wrong cannot grow the list without bound.
        if (item && v->size() < 256) v->emplace_back(item, strnlen(item, 260));
    };
    load_list(&items, add, 323);
    return items;
}

}  // namespace ovr::gprs
