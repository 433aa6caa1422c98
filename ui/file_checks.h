#pragma once

#include <string>

namespace bq {

// Whether the path names a folder. A folder opens like a file on some systems and then reads
// as garbage, so every open of a user's file asks first.
bool isFolder(const std::string& path);
// Whether the path names something other than a regular file (a folder, a device, a FIFO):
// a document is read at random places, which only a regular file allows, and opening a FIFO
// would wait for a writer.
bool isSpecialFile(const std::string& path);
// Whether anything exists under the path.
bool pathExists(const std::string& path);

}  // namespace bq
