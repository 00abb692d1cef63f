// The GPRS libraries' AT side against a scripted peer on a socket pair: how
// replies are read and cut, and that a flooding modem or proxy is dropped at
// the reply cap instead of being read without end.
#include "at_link.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace ovr::mmswap;

namespace {

struct Pair {
    int mine = -1, peer = -1;
    Pair() {
        int sv[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) == 0) mine = sv[0], peer = sv[1];
    }
    ~Pair() {
        if (mine >= 0) close(mine);
        if (peer >= 0) close(peer);
    }
    // The peer says this and then falls silent for good.
    void says(const std::string& bytes) {
        ASSERT_EQ(send(peer, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
        shutdown(peer, SHUT_WR);
    }
};

// A peer that sends `byte` without a line end until told to stop or 1 GiB
// is out; how much it got rid of.
struct Flood {
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> sent{0};
    std::thread t;
    explicit Flood(int fd) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        t = std::thread([this, fd] {
            std::string chunk(64 * 1024, 'A');
            while (!stop && sent < (1ull << 30)) {
                ssize_t n = send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
                if (n > 0) {
                    sent += static_cast<uint64_t>(n);
                } else {
                    pollfd p{fd, POLLOUT, 0};
                    poll(&p, 1, 10);
                }
            }
        });
    }
    ~Flood() {
        stop = true;
        t.join();
    }
};

// A modem that answers each command line (up to its CR) with the next of its
// replies, then falls silent for good.
struct ScriptedModem {
    std::thread t;
    ScriptedModem(int fd, std::vector<std::string> replies) {
        t = std::thread([fd, replies = std::move(replies)] {
            for (const std::string& reply : replies) {
                char c = 0;
                while (read(fd, &c, 1) == 1 && c != '\r') {
                }
                if (c != '\r' || send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) break;
            }
            shutdown(fd, SHUT_WR);
        });
    }
    ~ScriptedModem() { t.join(); }
};

}  // namespace

TEST(AtLink, ReadsTheReplyToItsFinalLine) {
    const struct {
        const char* wire;
        Final final;
        const char* text;
        const char* final_line;
    } cases[] = {
        // The echo and an unsolicited code are lines of the reply's text.
        {"AT+CGATT?\r\r\n+CREG: 1\r\n+CGATT: 1\r\n\r\nOK\r\n", Final::Ok, "AT+CGATT?\n+CREG: 1\n+CGATT: 1\n", "OK"},
        {"\r\n+CME ERROR: 30\r\n", Final::Error, "", "+CME ERROR: 30"},
        {"\r\nCONNECT 115200\r\n~~binary~~", Final::Connect, "", "CONNECT 115200"},
        {"\r\nNO CARRIER\r\n", Final::NoCarrier, "", "NO CARRIER"},
        // Lines after the final one belong to no reply of this command.
        {"\r\nOK\r\n\r\nERROR\r\n", Final::Ok, "", "OK"},
        // A modem that stops mid-line gave no answer: nothing of it is kept.
        {"\r\n+CGATT: 1\r\nO", Final::None, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire);
        Pair p;
        p.says(c.wire);
        AtReply r = at_command(p.mine, "AT+CGATT?", 2000, nullptr);
        EXPECT_EQ(r.final, c.final);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.final_line, c.final_line);
    }
}

TEST(AtLink, TheProxyAnswersWithAStatusBelow400) {
    const struct {
        const char* wire;
        int result;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", 0},
        {"HTTP/1.0 302 Found\r\n", 0},
        {"HTTP/1.0 403 Forbidden\r\n\r\n", 1},
        {"HTTP/1.0 503 Busy\r\n", 1},
        {"SSH-2.0-OpenSSH\r\n", 1},
        {"", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire);
        Pair p;
        p.says(c.wire);
        EXPECT_EQ(proxy_exchange(p.mine, "10.1.1.1:8080", 2000, nullptr), c.result);
    }
}

// A peer that never ends its line is read to the 4 KiB cap and left there,
// at once: neither the deadline nor the peer's 1 GiB is waited out.
TEST(AtLink, AFloodIsCutAtTheReplyCap) {
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(which == 0 ? "modem" : "proxy");
        Pair p;
        Flood flood(p.peer);
        auto started = std::chrono::steady_clock::now();
        if (which == 0) {
            AtReply r = at_command(p.mine, "AT", 60000, nullptr);
            EXPECT_EQ(r.final, Final::None);
            EXPECT_EQ(r.text, "");
        } else {
            EXPECT_EQ(proxy_exchange(p.mine, "10.1.1.1:8080", 60000, nullptr), 1);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        flood.stop = true;
        // What the peer got rid of: the cap plus what the socket buffers hold.
        EXPECT_LT(flood.sent.load(), 16u << 20);
    }
}

TEST(AtLink, TheDialNamesEachRefusal) {
    const std::string ok = "\r\nOK\r\n";
    // AT, ATE0V1, AT+CMEE=1, AT+CGATT?, [AT+CGATT=1,] AT+CGDCONT, ATD*99***1#
    const struct {
        std::vector<std::string> replies;
        int result;
    } cases[] = {
        {{ok, ok, ok, "\r\n+CGATT: 1\r\n" + ok, ok, "\r\nCONNECT 115200\r\n"}, 0},
        {{ok, ok, ok, "\r\n+CGATT: 0\r\n" + ok, "\r\nERROR\r\n"}, kNoCoverage},
        {{ok, ok, ok, "\r\n+CGATT: 0\r\n" + ok, ok, ok, "\r\n+CME ERROR: 30\r\n"}, kNoCoverage},
        {{ok, ok, ok, "\r\n+CGATT: 1\r\n" + ok, "\r\n+CME ERROR: 3\r\n"}, kApnRefused},
        {{ok, ok, ok, "\r\n+CGATT: 1\r\n" + ok, ok, "\r\n+CME ERROR: 149\r\n"}, kAuthFailed},
        {{ok, ok, ok, "\r\n+CGATT: 1\r\n" + ok, ok, "\r\nNO CARRIER\r\n"}, kApnRefused},
        // Silent from the start, or after the attach question.
        {{}, kModemSilent},
        {{ok, ok, ok, "\r\n+CGATT: 0\r\n" + ok}, kNoAnswer},
    };
    Limits l;
    l.reply_ms = l.attach_ms = l.dial_ms = 2000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        Pair p;
        ScriptedModem modem(p.peer, c.replies);
        EXPECT_EQ(dial_data_call(p.mine, "mms.operator", l, nullptr), c.result);
    }
    Pair p;
    EXPECT_EQ(dial_data_call(p.mine, "mms\"op", l, nullptr), kUnsafeSetting);
}
