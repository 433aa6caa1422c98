#pragma once
// What the commands that print files share: raw output, JSON text, and the opening of one of
// several files a listing names.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "ui/escape_text.h"

namespace bq::cli {

// The bytes as they are, on standard output.
void writeOut(std::string_view bytes);

// Where the lines of one file of a listing go: straight to stdout and stderr, or held to be
// printed once the files before it are (a worker's file, or a run that shows progress).
class FileOutput {
  public:
    explicit FileOutput(bool held) : held_(held) {}

    void out(std::string_view bytes);
    // A whole message line for stderr.
    void err(std::string_view line);
    // Where the platform's messages go: none for stderr itself.
    std::string* errorSink() { return held_ ? &err_ : nullptr; }
    // Prints what was held, messages first; the output is empty after.
    void flush();
    bool hasErrors() const { return !err_.empty(); }

  private:
    bool held_;
    std::string out_;
    std::string err_;
};

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
                FileOutput& output, bool errorObject = false);
// A folder of a listing that could not be read, said as a file that did not open is: its
// JSON line {"file": ..., "error": ...}, or the message on stderr.
void reportFolderError(const std::string& path, const std::string& message, bool json,
                       FileOutput& output);

}  // namespace bq::cli
