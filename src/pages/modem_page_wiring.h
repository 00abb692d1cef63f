// The Modem page's ties to the gateway as the console runs it: the network
// device's "GET /init", the GPRS library's connection list and the operator
// connection test.
#pragma once

#include "pages/modem_page.h"

namespace ovr::pages {

// Fills every member of `services` that is unset.
void wire_modem_page_services(Context& ctx, ModemPageServices& services);

}  // namespace ovr::pages
