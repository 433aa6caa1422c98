#pragma once
// What the commands that print files share: raw output, JSON text, and the opening of one of
// several files a listing names.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "stream/escape_text.h"

namespace bq::cli {

// The bytes as they are, on standard output.
void writeOut(std::string_view bytes);

// True when the stream (stdout, stderr) is a terminal.
bool isTerminal(std::FILE* stream);
// A text as stored (an XML box, a label, a packet): the bytes as they are into a pipe or a
// file, so scripts get the exact text, and escaped (Escape::Lines) on a terminal.
void writeStoredText(std::string_view text);

// Types, texts and paths come from the files: bytes that are not UTF-8 are replaced, not
// fatal, and C1 controls and DEL are escaped (\u0080), which JSON allows but a terminal
// would act on. An indent of -1 gives one line; the text ends with a line feed.
std::string jsonText(const nlohmann::ordered_json& value, int indent);

// Opens a file a listing names. Of several files, messages start with the file's path, and
// with JSON they become that file's line {"file": ..., "error": ...}; `errorObject` gives a
// single file that object too (its message still on stderr). True when it opened.
bool openListed(Session& session, const std::string& path, bool json, bool several,
                bool errorObject = false);

}  // namespace bq::cli
