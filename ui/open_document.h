#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ui/app.h"
#include "ui/platform.h"

namespace bq {

// Where users are asked to send a file that could not be parsed.
constexpr std::string_view kSupportAddress = "support@boxquill.org";

constexpr std::string_view kModifiedQuestion = "The file is modified. Continue? ";
constexpr std::string_view kOpenFailedMessage = "Couldn't open the file";
constexpr std::string_view kReadFailedMessage = "Couldn't read the file!";
constexpr std::string_view kCodestreamMessage =
    "Couldn't read the file!\n\nIt looks like a J2K file, not JP2. ";

// "Couldn't parse the file!\n\nPlease send it to <address> so we could find out what's wrong. "
std::string parseFailedMessage();

// The filter both JP2 file dialogs offer: "JP2 files" then "All".
FileDialogRequest jp2DialogRequest(std::string initialName, std::uint32_t options);

// More boxes than any real file holds: a crafted file of empty boxes is refused before its rows
// exhaust memory.
constexpr int kMaxDocumentRows = 100000;
constexpr std::string_view kTooManyBoxesMessage =
    "Couldn't read the file!\n\nIt holds more than 100000 boxes. ";

// Codestreams (and other locked payloads) longer than this are not read into memory: they stay
// in the opened file, and saves and exports copy them from there.
constexpr std::uint64_t kDefaultHoldLimit = 64 * 1024 * 1024;

// Opens a JP2 or JPX file as the document. Without a path it asks before discarding a
// modified document and lets the user choose the file. Every outcome is shown to the user.
void openDocument(App& app, std::optional<std::string> path,
                  std::uint64_t holdLimit = kDefaultHoldLimit);

// Opens a file dropped on the window: as a chosen file is, after the same question before a
// modified document is discarded.
void openDroppedFile(App& app, const std::string& path);

}  // namespace bq
