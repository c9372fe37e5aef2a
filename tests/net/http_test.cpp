// HttpFetch against a small server started by the test: the request text,
// header ends in CR LF or LF and split across reads, bodies with empty lines,
// empty replies, early closes and resets; a running game outlives a fetch.
#include <gtest/gtest.h>

#include <cmath>

#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/http_reply.h"
#include "net/net_internal.h"
#include "net_test_support.h"
#include "support/headless.h"

namespace {

// One connection served: the request is read up to its blank line, then the
// reply goes out in the given pieces, 50 ms apart so that each is its own read.
struct OneShotServer {
    uint16_t port = 0;
    int listener = -1;
    std::string request;
    std::thread thread;

    OneShotServer(std::vector<std::string> pieces, bool reset = false) {
        listener = RawListen(port);
        thread = std::thread([this, pieces, reset] {
            int peer = ::accept(listener, nullptr, nullptr);
            while (request.find("\r\n\r\n") == std::string::npos) {
                std::string more = RawReceive(peer, 2000);
                if (more.empty()) break;
                request += more;
            }
            for (const std::string& piece : pieces) {
                RawSend(peer, piece);
                usleep(50000);
            }
            if (reset) RawReset(peer);
            else ::close(peer);
        });
    }
    ~OneShotServer() {
        if (thread.joinable()) thread.join();
        ::close(listener);
    }
    // Waits for the server's end.
    void Finish() { thread.join(); }
};

struct Fetched {
    double result;
    std::string body;
};

Fetched Fetch(OneShotServer& server, const std::string& path = "/doc.txt") {
    std::string file = UseScratchTempDirectory() + "body.bin";
    double result = HttpFetch("127.0.0.1", path.c_str(), server.port, file.c_str());
    server.Finish();
    return {result, ReadWholeFile(file)};
}

}  // namespace

TEST(HttpHeader, BodyStartsAfterTheFirstEmptyLine) {
    auto body = [](std::vector<std::string> reads) {
        HttpHeaderSkip skip;
        std::string out;
        for (const std::string& read : reads) out += read.substr(SkipHttpHeader(skip, read.data(), read.size()));
        return out;
    };
    EXPECT_EQ(body({"HTTP/1.0 200 OK\r\nA: b\r\n\r\nhello"}), "hello");
    EXPECT_EQ(body({"HTTP/1.0 200 OK\nA: b\n\nhello"}), "hello");
    EXPECT_EQ(body({"HTTP/1.0 200 OK\r\n", "\r\nhel", "lo"}), "hello");
    EXPECT_EQ(body({"HTTP/1.0 200 OK\r", "\n", "\r", "\nx"}), "x");
    EXPECT_EQ(body({"X\r\n\r\n", "a\r\n\r\nb", "\n\n"}), "a\r\n\r\nb\n\n");
    EXPECT_EQ(body({"no header end\r\nat all\r\n"}), "");
    EXPECT_EQ(body({"\n\nbody"}), "body");
    EXPECT_EQ(body({"a\r\r\n\r\r\nb"}), "b") << "CR does not break a line end";
}

TEST(HttpFetch, SendsTheRequestAndStoresTheBody) {
    OneShotServer server({"HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello"});
    Fetched got = Fetch(server, "/a b?c=1");
    EXPECT_EQ(got.result, 1.0);
    EXPECT_EQ(got.body, "hello");
    EXPECT_EQ(server.request,
              "GET /a b?c=1 HTTP/1.0\r\nHost:127.0.0.1\r\nAccept: */*\r\nUser-Agent: Velmora game\r\n\r\n");
}

TEST(HttpFetch, HeaderEndsInAnyFormAndAcrossReads) {
    {
        OneShotServer server({"HTTP/1.0 200 OK\nServer: x\n\nhello"});
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 1.0);
        EXPECT_EQ(got.body, "hello");
    }
    {
        OneShotServer server({"HTTP/1.0 200 OK\r\nServer: x\r\n", "\r\nhel", "lo"});
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 1.0);
        EXPECT_EQ(got.body, "hello");
    }
    {
        std::string body = "line one\r\n\r\n\n\nline two\r\n";
        std::string big(20000, 'b');
        OneShotServer server({"HTTP/1.0 404 Not Found\r\n\r\n" + body, big});
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 1.0);
        EXPECT_EQ(got.body, body + big) << "an error page is a body like any other";
    }
}

TEST(HttpFetch, EmptyRepliesEarlyClosesAndResets) {
    {
        OneShotServer server({});
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 1.0);
        EXPECT_EQ(got.body, "");
    }
    {
        OneShotServer server({"HTTP/1.0 200 OK\r\nContent-Len"});
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 1.0) << "a normal close, though the header never ended";
        EXPECT_EQ(got.body, "");
    }
    {
        OneShotServer server({"HTTP/1.0 200 OK\r\n\r\npart"}, true);
        Fetched got = Fetch(server);
        EXPECT_EQ(got.result, 0.0);
        EXPECT_EQ(got.body, "part") << "what came before the reset is kept";
    }
    std::string file = UseScratchTempDirectory() + "none.bin";
    uint16_t port = 0;
    ::close(RawListen(port));
    EXPECT_EQ(HttpFetch("127.0.0.1", "/", port, file.c_str()), 0.0);
    EXPECT_EQ(HttpFetch("name.invalid", "/", 80, file.c_str()), 0.0);
    // Port numbers no integer holds convert without overflow, to ports where
    // nothing answers.
    EXPECT_EQ(HttpFetch("127.0.0.1", "/", -4.08e279, file.c_str()), 0.0);
    EXPECT_EQ(HttpFetch("127.0.0.1", "/", std::nan(""), file.c_str()), 0.0);
    // A file that cannot be made: the transfer still runs.
    OneShotServer server({"HTTP/1.0 200 OK\r\n\r\nx"});
    EXPECT_EQ(HttpFetch("127.0.0.1", "/", server.port, "/nonexistent-dir/x"), 1.0);
}

TEST(HttpFetch, ARunningGameOutlivesAFetch) {
    uint16_t port = 0;
    ::close(RawListen(port));
    NetworkRecord* host = NewNetworkRecord();
    ASSERT_EQ(NetHost(*host, std::to_string(port).c_str()), 1.0);
    NetCreatePlayer(*host, "alice");
    OneShotServer server({"HTTP/1.0 200 OK\r\n\r\nx"});
    ASSERT_EQ(Fetch(server).result, 1.0);
    EXPECT_EQ(NetPlayerCount(*host), 1.0);
    EXPECT_EQ(std::string(NetPlayerName(*host, "101").Text()), "alice");
    DeleteNetworkRecord(host);
}
