// What every request to the library app must pass before any handler runs
// (serve.cpp calls these in one place): the Host it was sent to, the
// secret of a state-changing request, and the replay name it carries. Plain
// functions of text, so that each rule is tested without a server.
#pragma once

#include <string>
#include <vector>

// True when the Host header names this server by a loopback name:
// "127.0.0.1:PORT" or "localhost:PORT" (any letter case). Another name is
// what a page of another site sends after rebinding its name to us.
bool ra_host_allowed(const std::string &host, int port);

// True when the given secret is the server's, compared in a time that does
// not depend on where they differ.
bool ra_secret_matches(const std::string &given, const std::string &secret);

// Why a replay name from a request is refused (a path, "..", a device name
// of Windows), or empty when it is a plain file name. Only a name that also
// is in the list is then used, and only to find that entry.
std::string ra_replay_name_problem(const std::string &name);

// The headers every answer carries: no sniffing, no referrer, and a
// content security policy that allows only the page's own script and style
// (those carrying `nonce`) and no framing.
std::vector<std::pair<std::string, std::string>> ra_app_headers(const std::string &nonce);
