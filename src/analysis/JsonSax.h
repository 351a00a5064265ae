#pragma once

// Shared by the JSON sources only: the strict parse loop.

#include <nlohmann/json.hpp>

#include <cstring>
#include <string_view>

namespace ondrel::json {

// Runs nlohmann's strict SAX parser (no comments, one value, nothing after
// it). Input holding a NUL byte is rejected first: the lexer would take it
// for the end of the input.
template <typename Handler> bool runParser(std::string_view utf8, Handler& handler)
{
    if (!utf8.empty() && std::memchr(utf8.data(), '\0', utf8.size()))
        return false;
    return nlohmann::json::sax_parse(utf8.begin(), utf8.end(), &handler, nlohmann::json::input_format_t::json,
                                     true, false);
}

} // namespace ondrel::json
