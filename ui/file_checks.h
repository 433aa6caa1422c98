#pragma once

#include <string>

namespace bq {

// Whether the path names a folder. A folder opens like a file on some systems and then reads
// as garbage, so every open of a user's file asks first.
bool isFolder(const std::string& path);
// Whether anything exists under the path.
bool pathExists(const std::string& path);
// Removes the file if it is there; errors are ignored (used to clean up after a failure).
void removeQuietly(const std::string& path);

}  // namespace bq
