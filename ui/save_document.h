#pragma once

#include <string>
#include <string_view>

#include "stream/byte_stream.h"
#include "ui/app.h"

namespace bq {

constexpr std::string_view kCreateFailedMessage = "Couldn't create file!";
constexpr std::string_view kWriteFailedMessage = "Couldn't write to the file!";
// A name (".jp2" included when it is added) must fit the 260-byte name buffer.
constexpr std::string_view kNameTooLongMessage =
    "Couldn't create file: the name is longer than 259 characters!";
constexpr std::string_view kTooLargeToSaveMessage =
    "Couldn't save the file: an association box would hold 4 GiB or more, which its "
    "length can't express!";
constexpr std::string_view kReplaceQuestionEnd = " already exists.\nDo you want to replace it? ";

// The name a chosen name is saved as: ".jp2" appended unless ".jp2" or ".jpx" occurs anywhere
// in it (case-sensitive, folders included).
std::string applyExtensionRule(std::string name);

// Recomputes every association box's size from the boxes nested in it, counting what each
// of them writes, and rewrites the Size text of every row whose text no longer matches its
// box. False when some association's length (or some box's) would not fit 32 bits; its size
// is then left at the largest value that does.
bool refreshAssociationSizes(BoxList& boxes);

// Writes the signature and every row's box with its header. False as soon as a box cannot
// be written or the stream reports trouble.
bool writeDocument(const BoxList& boxes, ByteStream& stream);

// Asks for a name, proposing the opened file's path, and writes the whole document there
// through a temporary file beside it, so a failure never harms an existing file.
void saveDocument(App& app);

}  // namespace bq
