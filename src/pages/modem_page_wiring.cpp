#include "pages/modem_page_wiring.h"

#include "gprs/connection_test.h"
#include "modem/entries.h"
#include "modem/network_device.h"
#include "modem/operators.h"
#include "pages/operator_lookup.h"
#include "platform/dynlib.h"

namespace ovr::pages {
namespace {

// The elevated copy is the running program when it answers "/MODEMTEST"
// (the console, or the command-line twin); any other program holding the
// page (the screenshot renderer) would start itself again, and that copy
// would hold the page and start another, so it hands the test to the
// command-line twin beside it.
std::string console_program() {
    std::string self = platform::executable_path();
    std::string name = self.substr(self.rfind('/') + 1);
    if (name == "ovrinsms-console" || name == "ovrinsmsctl") return self;
    return platform::executable_directory() + "ovrinsmsctl";
}

}  // namespace

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
    if (!services.network_connections) {
        services.network_connections = [&ctx] {
            const gprs::GprsLibrary* lib = gprs::GprsLibrary::instance(ctx.platform);
            return lib ? lib->network_connections() : std::vector<std::string>{};
        };
    }
    if (!services.choose_operator) {
        services.choose_operator = [&ctx, device = services.device_mms](const std::string& entry)
            -> std::optional<OperatorMmsSettings> {
            if (!ctx.ui) return std::nullopt;
            Ui& ui = *ctx.ui;
            std::vector<std::string> networks;
            if (modem::entry_kind(entry) == modem::EntryKind::NetworkDevice) {
                // A device names its operator's settings itself, not its network.
                std::string url, proxy;
                if (device && device(std::string(modem::device_identifier(entry)), url, proxy))
                    return OperatorMmsSettings{{}, {}, {}, proxy, url};
                ui.error("The network modem device gave no MMS settings, and it does not say which network it "
                         "is on, so no operator settings can be looked up.");
                return std::nullopt;
            }
            std::string database = modem::operator_database_path(), missing;
            // Without the database the modem is not bothered.
            if (ctx.platform && modem::operator_database(database, missing)) {
                BusyScope busy(ui, "Asking the modem for its network");
                // The modem's own boxes (speeds, failures) would only confuse
                // here: what matters is whether it told its network.
                ScriptedUi quiet;
                platform::Platform& p = *ctx.platform;
                modem::ModemAccess acc{*p.comm_ports, *p.tapi, *p.registry, *p.clock, quiet, ctx.ini.rirer};
                networks = modem::ReadModemNetworks(acc, entry);
            }
            return LookupOperatorSettings(ui, database, networks);
        };
    }
    if (!services.run_test) {
        services.run_test = [&ctx](const MmsTestSettings& s) {
            if (!ctx.ui || !ctx.platform) return false;
            gprs::TestEnv env;
            env.dirs = ctx.dirs;
            env.ui = ctx.ui;
            env.platform = ctx.platform;
            env.program = console_program();
            return gprs::RunConnectionTest(env, s);
        };
    }
}

}  // namespace ovr::pages
