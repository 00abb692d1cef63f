// "Configure MM7 or PHP Receiver" (DIALOG_MM7): the route "ovrinsmslitemm7"
// of received MMS. OK proves the server can be reached, then writes the
// route's VASP.INI in one transaction; a failure writes nothing and keeps
// the dialog open.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "nettest/mm7.h"
#include "pages/fields.h"
#include "pages/page.h"
#include "pages/text_field.h"

namespace ovr::pages {

class Mm7Dialog {
public:
    static constexpr const char* kTitle = "Configure MM7 or PHP Receiver";
    static constexpr const char* kTemplate = "DIALOG_MM7";
    static constexpr const char* kNoUrl = "Please define a URL for connecting to the server";

    enum class Text { Server, UserName, Password, VaspId, VasId, ServiceCode };

    // Loads the route's settings; `tls` is the TLS library (nullptr: none),
    // `handshake_limit_ms` how long a handshake may take.
    Mm7Dialog(Context& ctx, const nettest::TlsLibrary* tls,
              int handshake_limit_ms = nettest::kMm7HandshakeLimitMs);

    const DropDown& variations() const { return variations_; }
    const DropDown& versions() const { return versions_; }
    const DropDown& schemas() const { return schemas_; }
    const TextField& field(Text t) const { return texts_[static_cast<size_t>(t)]; }
    const CheckBox& strip_white_space() const { return strip_; }

    // A final selection in the variation list applies the hiding rule:
    // with "PHP Multipart File Upload" only the list and the URL show.
    void select_variation(int index);
    void select_version(int index);
    void select_schema(int index);
    void set_text(Text t, std::string_view text);
    void set_strip_white_space(bool on);

    // The server check, then the save. True when saved (the dialog closes
    // with 1); otherwise the message was shown and the focus is on the URL.
    bool ok();
    bool url_focused() const { return url_focus_; }
    // The check's outcome of the last OK (for the command line).
    const nettest::Mm7CheckResult& last_check() const { return last_check_; }
    // The settings as the fields hold them.
    nettest::Mm7Settings settings() const;
    uint64_t revision() const { return revision_; }

private:
    void apply_hiding();
    bool refuse(const std::string& message);

    Context& ctx_;
    const nettest::TlsLibrary* tls_;
    int handshake_limit_ms_;
    DropDown variations_, versions_, schemas_;
    std::array<TextField, 6> texts_;
    CheckBox strip_{"Remove White Space from MM7 XML"};
    bool url_focus_ = false;
    nettest::Mm7CheckResult last_check_;
    uint64_t revision_ = 0;
};

}  // namespace ovr::pages
