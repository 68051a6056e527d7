#include "serve/app_answers.h"

#include "library/text/html_text.h"
#include "serve/request_rules.h"

void ra_answer(httplib::Response &res, int status, const std::string &text) {
    res.status = status;
    res.set_content(text + "\n", "text/plain; charset=utf-8");
}

void ra_answer_page(httplib::Response &res, const std::string &html, const std::string &nonce) {
    res.set_header("Content-Security-Policy", ra_page_policy(nonce));
    res.set_content(html, "text/html; charset=utf-8");
}

void ra_answer_json(httplib::Response &res, const nlohmann::json &answer) {
    res.set_content(answer.dump(), "application/json; charset=utf-8");
}

void ra_answer_action(httplib::Response &res, int status, const ra_output &said,
                      const std::vector<std::string> &removed, bool applied,
                      nlohmann::json answer) {
    answer["ok"] = status == ra_exit_ok;
    answer["message"] = ra_utf8_text(said.out + said.err);
    answer["removed"] = nlohmann::json::array();
    for (const std::string &file : removed) answer["removed"].push_back(ra_url_text(file));
    answer["applied"] = applied;
    res.status = status == ra_exit_ok ? 200 : 409;
    res.set_content(answer.dump(), "application/json; charset=utf-8");
}

void ra_answer_action(httplib::Response &res, const ra_action_said &said,
                      const std::vector<std::string> &removed, bool applied,
                      nlohmann::json answer) {
    ra_output told;
    const int status = ra_tell(said, &told);
    ra_answer_action(res, status, told, removed, applied, std::move(answer));
}

void ra_refuse_action(httplib::Response &res, const std::string &sentence) {
    ra_output said;
    ra_answer_action(res, ra_fail(&said, sentence, ra_exit_failed), said);
}

size_t ra_count_param(const httplib::Request &req, const char *name, size_t otherwise) {
    // More digits than this are no count of rows.
    const size_t digits_max = 9;
    const std::string text = req.get_param_value(name);
    if (text.empty() || text.size() > digits_max ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return otherwise;
    }
    return (size_t)std::stoul(text);
}

std::string ra_racer_param(ra_library_index &index, const httplib::Request &req) {
    std::string racer = req.get_param_value("racer");
    ra_index_facts facts;
    if (racer.empty() && index.facts(&facts)) racer = facts.default_racer;
    return racer;
}
