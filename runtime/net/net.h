// Networking: the multiplayer protocol (host, join, named players, messages
// through the host, requests answered by the host) and the HTTP fetch.
//
// Script commands work on the process-wide network record that start-up
// creates. Ids and ports travel as text; ids that are results come back as
// text. Failures are results: 0.0, "-1", "0", "NO_DATA" or the empty text.
#pragma once

#include "strings/runtime_string.h"

struct NetworkRecord;

// ---------------------------------------------------------------------------
// The network record

// Creates the process-wide record (idle: no thread, no sockets).
void NetworkCreate();
// Stops the network thread and waits for it, tells the host that this
// program's players leave, closes the sockets and frees the record.
void NetworkDestroy();

// ---------------------------------------------------------------------------
// Multiplayer commands

// Ends any running game and hosts on the port (0 or less: 26000). 1.0 when
// hosting started, else 0.0.
double NetHost(const RuntimeString& port);
// Ends any running game and joins the host ("" for this machine) on the port;
// 1.0 when the host answered a connection check within 5 seconds, else 0.0
// (the game is then stopped).
double NetJoin(const RuntimeString& host, const RuntimeString& port);
// Ends any running game; every local IPv4 address with port 26000, joined by
// "|".
RuntimeString NetLocalAddresses();
// A new named player of this program; its id, or "-1" on timeout, without a
// running game, or for a name over 126 bytes.
RuntimeString NetCreatePlayer(const RuntimeString& name);
// Asks the host to remove a player of this program; always 1.0.
double NetRemovePlayer(const RuntimeString& id);
// Sends a message from a local player to a player (0 or -1: every player of
// every program). 1.0 when written whole; 0.0 without a game or for a
// message over 2048 bytes.
double NetSendMessage(const RuntimeString& sender, const RuntimeString& recipient, const RuntimeString& text);
// The oldest message in a local player's inbox, or the empty text.
RuntimeString NetReceiveMessage(const RuntimeString& id);
// Sender id of the message NetReceiveMessage last returned.
RuntimeString NetLastSender();
// Number of named players in the game; 0 when the host does not answer.
double NetPlayerCount();
// Id of the named player at a 0-based index, in the order they joined; "0"
// when there is none or the host does not answer.
RuntimeString NetPlayerId(double index);
// Name of a player; empty when no player has the id, "NO_DATA" when the host
// does not answer.
RuntimeString NetPlayerName(const RuntimeString& id);

// ---------------------------------------------------------------------------
// HTTP fetch

// GET path from server:port over HTTP/1.0 and store the body (what follows
// the first empty line) in the file. 1.0 when the server closed the
// connection normally, else 0.0. A running network game is left alone.
double HttpFetch(const RuntimeString& server, const RuntimeString& path, double port, const RuntimeString& file);
