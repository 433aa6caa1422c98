#pragma once
// What the commands that print files share: raw output, JSON text, and the opening of one of
// several files a listing names.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"

namespace bq::cli {

// The bytes as they are, on standard output.
void writeOut(std::string_view bytes);

// Types, texts and paths come from the files: bytes that are not UTF-8 are replaced, not
// fatal. An indent of -1 gives one line; the text ends with a line feed.
std::string jsonText(const nlohmann::ordered_json& value, int indent);

// Opens a file a listing names. Of several files, messages start with the file's path, and
// with JSON they become that file's line {"file": ..., "error": ...}. True when it opened.
bool openListed(Session& session, const std::string& path, bool json, bool several);

}  // namespace bq::cli
