#pragma once
// The files a command's arguments name: files as given, folders walked in a stable order.
// The walk streams: it holds one sorted listing per open folder, never the whole tree.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bq::cli {

// One file of a collection, or a folder that could not be read.
struct CollectedFile {
    std::string path;         // as printed: the argument, or a folder argument and the names below
    std::string shardKey;     // the path below its folder argument ('/'-separated); the argument
                              // itself for a file named on the command line
    std::string folderError;  // set when `path` is a folder that could not be listed
};

// The extensions a walk takes by default, lowercase, without the dot.
std::vector<std::string> defaultExtensions();
// "jp2,JPX,.j2c" -> {"jp2", "jpx", "j2c"}; none for an empty list or an empty entry.
std::optional<std::vector<std::string>> parseExtensions(std::string_view text);
// Whether `name` ends in "." and one of `extensions`, in any case.
bool hasExtension(std::string_view name, const std::vector<std::string>& extensions);

class FolderWalk {
  public:
    // Without `recursive` a folder gives its own files only. Symbolic links to folders inside
    // a folder are never followed, so a walk cannot loop; links to files are taken.
    FolderWalk(std::vector<std::string> arguments, bool recursive,
               std::vector<std::string> extensions);

    // The next file in order (each argument in turn; inside a folder, by the UTF-8 bytes of
    // the path below it), or none at the end.
    std::optional<CollectedFile> next();

    // Whether the argument is a folder (a link to one counts: it was named on purpose).
    static bool isFolder(const std::string& path);

  private:
    struct Entry {
        std::string key;  // the name, with '/' after a folder's so that sorting by it sorts
                          // whole paths bytewise
        bool folder = false;
    };
    struct Frame {
        std::string path;  // the folder, as printed, ending in a separator
        std::string key;   // the folder below its argument, ending in '/' (empty at the top)
        std::vector<Entry> entries;
        std::size_t next = 0;
    };

    // Lists a folder into a new frame; a folder error to report when it could not be listed.
    std::optional<CollectedFile> enter(const std::string& path, const std::string& key);

    std::vector<std::string> arguments_;
    std::size_t nextArgument_ = 0;
    bool recursive_;
    std::vector<std::string> extensions_;
    std::vector<Frame> stack_;
};

}  // namespace bq::cli
