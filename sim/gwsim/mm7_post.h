// The MMSC's part for received MMS routed "ovrinsmslitemm7": the message is
// posted to the route's Server, as an MM7 DeliverReq (SOAP) or, with
// PHPMultipartPost, as a multipart file upload of its parts; over TLS for
// "https://". The exchange is bounded: 10 s, a reply of at most 1 MiB.
#pragma once

#include <string>

#include "config/directories.h"

namespace ovr::gwsim {

struct PostResult {
    bool delivered = false;   // the receiver answered 2xx
    std::string status;       // the reply's status line, or why there is none
};

// True when received MMS go to the MM7 / PHP receiver (MMSRouting of the
// modem's section).
bool mms_routed_to_mm7(const config::Directories& dirs);

PostResult post_received_mms(const config::Directories& dirs, const std::string& header_path,
                             int limit_ms = 10000);

}  // namespace ovr::gwsim
