#include "pages/modem_page_wiring.h"

#include "modem/network_device.h"

namespace ovr::pages {

void wire_modem_page_services(Context& ctx, ModemPageServices& services) {
    if (!services.device_mms) {
        services.device_mms = [&ctx](const std::string& id, std::string& url, std::string& proxy) {
            modem::DeviceQueryOptions o;
            if (ctx.platform) o.clock = ctx.platform->clock.get();
            // The page waits on the device in the open: a device on the local
            // network answers in well under these times.
            o.connect_timeout_ms = 5000;
            o.limits.idle_ms = o.limits.wait_ms = 10000;
            o.limits.overall_ms = 15000;
            return modem::QueryNetworkModemMms(id, url, proxy, o);
        };
    }
    if (!services.network_connections) services.network_connections = [] { return std::vector<std::string>{}; };
    if (!services.run_test) {
        services.run_test = [&ctx](const MmsTestSettings&) {
            if (ctx.ui) ctx.ui->error("Internal Error");
            return false;
        };
    }
}

}  // namespace ovr::pages
