#pragma once

#include <string>
#include <string_view>

#include "ui/app.h"

namespace bq {

// What the Properties dialog shows for a row, as `boxquill-cli info FILE INDEX` prints it:
// "key: value" lines ended by "\n". Empty for a row that does not exist or has no box.
std::string propertiesText(App& app, int row);

// The Properties dialog's title for a row: its ID and description, "jp2h JP2 Header - Properties".
std::string propertiesTitle(App& app, int row);

// The text with every "\n" that is not already behind a "\r" made "\r\n", as an edit
// control needs to break lines.
std::string withCrLf(std::string_view text);

}  // namespace bq
