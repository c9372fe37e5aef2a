// HttpFetch: one HTTP/1.0 GET over a blocking plain TCP stream, the body
// written to a file. The result and the body are journaled.
#include <cstdio>

#include "net/http_reply.h"
#include "net/net.h"
#include "net/socket_layer.h"
#include "platform/journal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Constants

static constexpr int kBufferSize = 4096;

// ---------------------------------------------------------------------------
// Public

// The body travels in the journal in pieces of at most this size, well
// inside a block.
static constexpr size_t kJournalPiece = 1u << 20;

// Fetches; `kept`, when not null, receives the body written to the file.
static double FetchLive(const RuntimeString& server, const RuntimeString& path, double port,
                        const RuntimeString& file, bool& created, std::string* kept);

// A replay fetches nothing: it writes the body the recording received into
// the file, as the fetch did, and hands back the recording's result.
static double FetchReplayed(JournalBytes& data, const RuntimeString& file) {
    double result = JournalBitsDouble(data.TakeInt());
    bool created = data.TakeInt() != 0;
    int64_t pieces = data.TakeInt();
    if (data.Failed() || pieces < 0) {
        JournalDataUnreadable();
        return 0.0;
    }
    std::FILE* out = created ? std::fopen(file.Text(), "wb") : nullptr;
    // A replay that ran out of pieces has ended (or gone live).
    for (int64_t i = 0; i < pieces && JournalReplaying(); ++i) {
        JournalBytes piece;
        JournalReplayed(JournalChannel::Http, piece);
        if (out) std::fwrite(piece.Bytes().data(), 1, piece.Bytes().size(), out);
    }
    if (out) std::fclose(out);
    return result;
}

double HttpFetch(const RuntimeString& server, const RuntimeString& path, double port, const RuntimeString& file) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::Http, data)) return FetchReplayed(data, file);
    bool recording = JournalRecording();
    std::string body;
    bool created = false;
    double result;
    {
        JournalQuiet quiet;
        result = FetchLive(server, path, port, file, created, recording ? &body : nullptr);
    }
    if (!recording) return result;
    size_t pieces = (body.size() + kJournalPiece - 1) / kJournalPiece;
    data.Int(JournalDoubleBits(result)).Int(created ? 1 : 0).Int((int64_t)pieces);
    JournalKeep(JournalChannel::Http, data);
    for (size_t i = 0; i < pieces; ++i) {
        JournalBytes piece(body.substr(i * kJournalPiece, kJournalPiece));
        JournalKeep(JournalChannel::Http, piece);
    }
    return result;
}

static double FetchLive(const RuntimeString& server, const RuntimeString& path, double port,
                        const RuntimeString& file, bool& created, std::string* kept) {
    // The socket layer counts its users: this fetch's reference leaves a
    // running network game's sockets alone when it is given back.
    if (!nlInit()) return 0.0;
    double result = 0.0;
    NLsocket socket = NL_INVALID;
    std::FILE* out = nullptr;
    nlSelectNetwork(NL_IP);
    nlEnable(NL_SOCKET_STATS);
    nlEnable(NL_BLOCKING_IO);
    NLaddress address;
    bool ready = nlGetAddrFromName(server.Text(), address);
    if (ready) {
        // Truncated to an integer, held to the 32-bit range, then taken to
        // 16 bits, so that no number can be out of range for the conversion.
        nlSetAddrPort(address, (uint16_t)TruncateToInt(port));
        socket = nlOpen(0, NL_RELIABLE);
        ready = socket != NL_INVALID && nlConnect(socket, address);
    }
    nlDisable(NL_BLOCKING_IO);
    if (ready) {
        out = std::fopen(file.Text(), "wb");
        created = out != nullptr;
        char buffer[kBufferSize];
        int length = std::snprintf(buffer, sizeof buffer,
                                   "GET %s HTTP/1.0\r\nHost:%s\r\nAccept: */*\r\nUser-Agent: Velmora game\r\n\r\n",
                                   path.Text(), server.Text());
        // A request cut to the buffer is sent cut, as it was built.
        if (length >= kBufferSize) length = kBufferSize - 1;
        if (length >= 0 && nlWrite(socket, buffer, length) != -1) {
            HttpHeaderSkip skip;
            for (;;) {
                NLint got = nlRead(socket, buffer, kBufferSize - 1);
                if (got < 0) break;
                size_t body = SkipHttpHeader(skip, buffer, (size_t)got);
                if (out && body < (size_t)got) std::fwrite(buffer + body, 1, (size_t)got - body, out);
                if (out && kept && body < (size_t)got) kept->append(buffer + body, (size_t)got - body);
            }
            if (nlGetError() == NL_MESSAGE_END) result = 1.0;
        }
    }
    if (socket != NL_INVALID) nlClose(socket);
    nlShutdown();
    if (out) std::fclose(out);
    return result;
}
