// How the library app's handlers answer, written once: plain text, a page
// with its nonce, JSON, and an action's answer, which the page reads field
// by field; and the query's values every route reads the same way.
#pragma once

#include <stddef.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/cache/library_index.h"
#include "program/job_output.h"
#include "serve/http_server.h"

// Random bytes in the nonce of each answer's security policy.
const size_t ra_nonce_bytes = 16;

void ra_answer(httplib::Response &res, int status, const std::string &text);

// A page of the app: its policy names the nonce of this answer alone.
void ra_answer_page(httplib::Response &res, const std::string &html, const std::string &nonce);

void ra_answer_json(httplib::Response &res, const nlohmann::json &answer);

// An action's answer: whether it worked, what it says (the console's
// words), and the replays it removed, or with a preview would remove
// (`applied` false), by their own bytes percent-encoded as the page names
// them; `answer` brings the action's own fields.
void ra_answer_action(httplib::Response &res, int status, const ra_output &said,
                      const std::vector<std::string> &removed = {}, bool applied = true,
                      nlohmann::json answer = nlohmann::json::object());

// The answer of an action of actions/: its words as the console prints
// them, and its status.
void ra_answer_action(httplib::Response &res, const ra_action_said &said,
                      const std::vector<std::string> &removed = {}, bool applied = true,
                      nlohmann::json answer = nlohmann::json::object());

// A refusal of an action in one sentence, as every action answers.
void ra_refuse_action(httplib::Response &res, const std::string &sentence);

// A count of the query, digits only and bounded; `otherwise` when absent.
size_t ra_count_param(const httplib::Request &req, const char *name, size_t otherwise);

// The racer whose laps a row shows as "yours": the one asked for, else the
// library's own (the player's).
std::string ra_racer_param(ra_library_index &index, const httplib::Request &req);
