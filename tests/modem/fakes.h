// Test doubles for the modem channel: ports backed by the AT modem
// simulator's engine on a fake clock, and line devices that fail a chosen
// step.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine.h"
#include "modem/channel.h"
#include "platform/clock.h"
#include "platform/comm_port.h"
#include "platform/registry.h"
#include "platform/tapi.h"

namespace ovr::test {

struct Wire {
    sim::ModemEngine engine;
    platform::FakeClock& clock;
    uint32_t speed = 0;
    std::string pending;        // due output not yet read
    std::vector<uint32_t> speeds_set;
    platform::CommTimeouts timeouts{};
    explicit Wire(sim::ModemProfile p, platform::FakeClock& c) : engine(std::move(p)), clock(c) {}
};

class SimPort final : public platform::CommPort {
public:
    explicit SimPort(std::shared_ptr<Wire> w) : w_(std::move(w)) {}
    bool fail_setup = false, fail_state = false;
    bool setup_queues(uint32_t, uint32_t) override { return !fail_setup; }
    bool get_state() override { return !fail_state; }
    bool set_state(const platform::LineSettings& s) override {
        w_->speed = s.baud;
        w_->speeds_set.push_back(s.baud);
        return true;
    }
    bool set_timeouts(const platform::CommTimeouts& t) override {
        w_->timeouts = t;
        return true;
    }
    platform::WriteStatus write_byte(uint8_t b, uint32_t) override {
        w_->engine.receive(std::string(1, static_cast<char>(b)), w_->clock.tick_ms(), w_->speed);
        return platform::WriteStatus::Written;
    }
    platform::ReadOutcome read(size_t room, uint32_t wait_ms) override {
        platform::ReadOutcome r;
        r.kind = platform::ReadOutcome::AtOnce;
        if (w_->timeouts.read_interval != platform::kMaxDword) {
            // Waiting reads: until output is due or the total time-out.
            r.kind = platform::ReadOutcome::Completed;
            uint64_t limit = w_->clock.tick_ms() + (w_->timeouts.read_constant ? std::min<uint64_t>(w_->timeouts.read_constant, wait_ms) : wait_ms);
            auto due = w_->engine.next_due();
            uint64_t until = (due && *due < limit) ? std::max(*due, w_->clock.tick_ms()) : limit;
            if (w_->pending.empty()) w_->clock.advance_ms(until - w_->clock.tick_ms());
        }
        w_->pending += w_->engine.take_due(w_->clock.tick_ms());
        size_t n = std::min(room, w_->pending.size());
        r.data = w_->pending.substr(0, n);
        w_->pending.erase(0, n);
        return r;
    }
    void cancel() override {}
    void clear_error() override {}

private:
    std::shared_ptr<Wire> w_;
};

// Port names to simulated modems; every open is recorded.
class SimPorts final : public platform::CommPorts {
public:
    std::map<std::string, std::shared_ptr<Wire>> wires;
    std::set<std::string> busy;
    std::vector<std::string> opened;   // names asked for, in order
    std::unique_ptr<platform::CommPort> open(const std::string& name, platform::SystemError& e) override {
        opened.push_back(name);
        if (busy.count(name)) {
            e = {16, "Device or resource busy", true};
            return nullptr;
        }
        auto it = wires.find(name);
        if (it == wires.end()) {
            e = {2, "No such file or directory", false};
            return nullptr;
        }
        return std::make_unique<SimPort>(it->second);
    }
};

class FakeRegistry final : public platform::Registry {
public:
    std::vector<platform::InstalledModem> modems;
    std::vector<platform::InstalledModem> installed_modems() override { return modems; }
};

// Line devices; `fail` names the step that fails ("initialize", "negotiate",
// "caps", "open", "portname", "makecall", "callzero", "getid") for the first
// `fail_times` times it is reached.
class FakeTapi final : public platform::Tapi {
public:
    struct Device {
        std::string name;
        uint32_t media = platform::tapi::kMediaModeDataModem;
        std::string port;                 // comm/datamodem/portname ("" = none)
        std::shared_ptr<Wire> wire;
    };
    std::vector<Device> devices;
    std::string fail;
    int fail_times = 1000;
    std::vector<std::string> calls;    // every call made, in order
    platform::FakeClock& clock;
    explicit FakeTapi(platform::FakeClock& c) : clock(c) {}

    int32_t initialize(const std::string&, uint32_t, uint32_t& app, uint32_t& n, uint32_t&) override {
        calls.push_back("initialize");
        if (failing("initialize")) return static_cast<int32_t>(platform::tapi::kErrNoMem);
        app = 7;
        n = static_cast<uint32_t>(devices.size());
        return 0;
    }
    int32_t negotiate_api_version(uint32_t, uint32_t, uint32_t, uint32_t high, uint32_t& v) override {
        if (failing("negotiate")) return static_cast<int32_t>(platform::tapi::kErrIncompatibleApiVersion);
        v = high;
        return 0;
    }
    int32_t get_dev_caps(uint32_t, uint32_t d, uint32_t, uint32_t size, platform::LineDevCaps& caps) override {
        if (failing("caps")) return static_cast<int32_t>(platform::tapi::kErrNoMem);
        caps.needed_size = 3000;   // more than the first buffer: it must grow
        if (size < caps.needed_size) return 0;
        caps.media_modes = devices[d].media;
        caps.line_name = devices[d].name;
        return 0;
    }
    int32_t open(uint32_t, uint32_t d, uint32_t& line, uint32_t, uint32_t, uint32_t) override {
        calls.push_back("open");
        if (failing("open")) return static_cast<int32_t>(platform::tapi::kErrAllocated);
        line = 100 + d;
        return 0;
    }
    int32_t get_line_id(uint32_t line, const std::string&, size_t, std::string& text) override {
        if (failing("portname") || devices[line - 100].port.empty())
            return static_cast<int32_t>(platform::tapi::kErrOperationUnavail);
        text = devices[line - 100].port;
        return 0;
    }
    int32_t make_call(uint32_t line, uint32_t& call, uint32_t, uint32_t) override {
        calls.push_back("makecall");
        if (failing("makecall")) return static_cast<int32_t>(platform::tapi::kErrResourceUnavail);
        replies_ = 1;
        call = failing("callzero") ? 0 : 200 + (line - 100);
        return 1;
    }
    int32_t get_message(uint32_t, platform::LineMessage& m, uint32_t timeout) override {
        if (replies_ == 0) {
            clock.sleep_ms(timeout);
            return static_cast<int32_t>(platform::tapi::kErrOperationFailed);
        }
        --replies_;
        m.id = platform::tapi::kLineReply;
        return 0;
    }
    int32_t get_call_comm(uint32_t call, size_t, std::unique_ptr<platform::CommPort>& port) override {
        calls.push_back("getid");
        if (failing("getid")) return static_cast<int32_t>(platform::tapi::kErrOperationFailed);
        port = std::make_unique<SimPort>(devices[call - 200].wire);
        return 0;
    }
    int32_t drop(uint32_t) override {
        calls.push_back("drop");
        replies_ = 1;
        return 2;
    }
    int32_t deallocate_call(uint32_t) override {
        calls.push_back("deallocate");
        return 0;
    }
    int32_t close(uint32_t) override {
        calls.push_back("close");
        return 0;
    }
    int32_t shutdown(uint32_t) override {
        calls.push_back("shutdown");
        return 0;
    }

private:
    bool failing(const std::string& step) {
        if (fail != step || fail_times <= 0) return false;
        --fail_times;
        return true;
    }
    int replies_ = 0;
};

}  // namespace ovr::test
