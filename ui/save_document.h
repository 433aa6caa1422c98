#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "stream/byte_stream.h"
#include "stream/replace_file.h"
#include "ui/app.h"

namespace bq {

constexpr std::string_view kCreateFailedMessage = "Couldn't create file!";
constexpr std::string_view kWriteFailedMessage = "Couldn't write to the file!";
// A name (".jp2" included when it is added) must fit the 260-character name buffer, counted
// in UTF-16 units as Windows counts it.
constexpr std::string_view kNameTooLongMessage =
    "Couldn't create file: the name is longer than 259 characters!";
constexpr std::string_view kReplaceQuestionEnd = " already exists.\nDo you want to replace it? ";
constexpr std::string_view kNotRegularFileMessage =
    "Couldn't create file!\n\nThe name is taken by a folder, device, FIFO or socket, which is "
    "left as it is. ";
constexpr std::string_view kDanglingLinkMessage =
    "Couldn't create file!\n\nThe name is a link to a file that does not exist. ";

// What a save or an export that ended so tells the user; empty when it was written.
std::string_view replaceFailureMessage(ReplaceOutcome outcome);

// The name a chosen name is saved as: ".jp2" appended unless ".jp2" or ".jpx" occurs anywhere
// in the file's name (case-sensitive; the folders do not count).
std::string applyExtensionRule(std::string name);

// Recomputes every association box's size from the boxes nested in it, counting what each
// of them writes (an association past 4 GiB gets the longer header, which its ancestors then
// count), and rewrites the Size text of every row whose text no longer matches its box. A box
// read with length 0 keeps that form only while it is the document's last, top-level row.
void refreshAssociationSizes(BoxList& boxes);

// Writes the signature and every row's box with its header. False as soon as a box cannot
// be written or the stream reports trouble. `payloadOffsets`, when given, receives for every
// row the position in the stream at which its payload starts.
bool writeDocument(const BoxList& boxes, ByteStream& stream,
                   std::vector<std::uint64_t>* payloadOffsets = nullptr);

// Asks for a name, proposing the opened file's path, and writes the whole document there
// through a temporary file beside it, so a failure never harms an existing file.
void saveDocument(App& app);

}  // namespace bq
