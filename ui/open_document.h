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
constexpr std::string_view kTooLargeMessage =
    "Couldn't open the file: files of 4 GiB or more are not supported!";

// "Couldn't parse the file!\n\nPlease send it to <address> so we could find out what's wrong. "
std::string parseFailedMessage();

// The filter both JP2 file dialogs offer: "JP2 files" then "All".
FileDialogRequest jp2DialogRequest(std::string initialName, std::uint32_t options);

// Opens a JP2 or JPX file as the document. Without a path it asks before discarding a
// modified document and lets the user choose the file. Every outcome is shown to the user.
void openDocument(App& app, std::optional<std::string> path);

}  // namespace bq
