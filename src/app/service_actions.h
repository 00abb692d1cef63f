// The service operations start-up, the switches and the sheet loop need.
// In command-line mode an operation never re-launches the console elevated
// (the elevated copy itself runs with a switch).
#pragma once

#include <string>
#include <vector>

#include "pages/page.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "service/control.h"

namespace ovr::app {

class ServiceActions {
public:
    virtual ~ServiceActions() = default;
    virtual bool install_and_start(bool command_line) = 0;
    virtual bool remove(bool command_line) = 0;
    virtual bool start(bool command_line) = 0;
    virtual bool stop(bool command_line) = 0;
    virtual bool restart(bool command_line) = 0;
    // Either service running, start pending or stop pending.
    virtual bool any_running() = 0;
    virtual bool both_running() = 0;
    // The process may control services (the service manager opens with full
    // access).
    virtual bool has_admin_rights() = 0;
    // The operator MMS connection test of the elevated "/MODEMTEST" copy.
    virtual void run_operator_modem_test() = 0;
};

// The real thing: both services through the platform's service manager
// (service/control.h), their state from the state tests (service/status.h).
class GatewayServiceActions final : public ServiceActions {
public:
    GatewayServiceActions(platform::Platform& platform, Ui& ui);
    bool install_and_start(bool command_line) override;
    bool remove(bool command_line) override;
    bool start(bool command_line) override;
    bool stop(bool command_line) override;
    bool restart(bool command_line) override;
    bool any_running() override;
    bool both_running() override;
    bool has_admin_rights() override;
    void run_operator_modem_test() override;

private:
    platform::Platform& platform_;
    Ui& ui_;
    service::ServiceControl control_;
};

// A fake for tests: records each call and answers from its fields.
class ScriptedServiceActions final : public ServiceActions {
public:
    bool install_and_start(bool command_line) override { return record("install", command_line, result); }
    bool remove(bool command_line) override { return record("remove", command_line, result); }
    bool start(bool command_line) override { return record("start", command_line, result); }
    bool stop(bool command_line) override {
        record("stop", command_line, result);
        running_any = running_both = false;
        return result;
    }
    bool restart(bool command_line) override { return record("restart", command_line, result); }
    bool any_running() override { return running_any; }
    bool both_running() override { return running_both; }
    bool has_admin_rights() override { return admin; }
    void run_operator_modem_test() override { calls.push_back("modemtest"); }

    bool result = true;
    bool running_any = false;
    bool running_both = false;
    bool admin = false;
    std::vector<std::string> calls;  // "stop command-line", "install elevated", ...

private:
    bool record(const char* what, bool command_line, bool r) {
        calls.push_back(std::string(what) + (command_line ? " command-line" : " elevated"));
        return r;
    }
};

}  // namespace ovr::app
