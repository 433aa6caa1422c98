#include "cli/folder_walk.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "stream/utf8_path.h"

namespace bq::cli {

namespace {

namespace fs = std::filesystem;

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithSeparator(std::string_view path) {
#if defined(_WIN32)
    return path.ends_with('/') || path.ends_with('\\');
#else
    return path.ends_with('/');
#endif
}

}  // namespace

std::vector<std::string> defaultExtensions() {
    return {"jp2", "jpx", "jpf", "j2k", "j2c", "jph"};
}

std::optional<std::vector<std::string>> parseExtensions(std::string_view text) {
    std::vector<std::string> extensions;
    while (true) {
        const std::size_t comma = text.find(',');
        std::string_view entry = text.substr(0, comma);
        if (entry.starts_with('.')) {
            entry.remove_prefix(1);
        }
        if (entry.empty() || entry.find_first_of("./\\") != std::string_view::npos) {
            return std::nullopt;
        }
        std::string lowered;
        std::transform(entry.begin(), entry.end(), std::back_inserter(lowered), lowerAscii);
        extensions.push_back(std::move(lowered));
        if (comma == std::string_view::npos) {
            return extensions;
        }
        text.remove_prefix(comma + 1);
    }
}

bool hasExtension(std::string_view name, const std::vector<std::string>& extensions) {
    return std::any_of(extensions.begin(), extensions.end(), [name](const std::string& extension) {
        if (name.size() <= extension.size() || name[name.size() - extension.size() - 1] != '.') {
            return false;
        }
        const std::string_view tail = name.substr(name.size() - extension.size());
        return std::equal(tail.begin(), tail.end(), extension.begin(),
                          [](char a, char b) { return lowerAscii(a) == b; });
    });
}

FolderWalk::FolderWalk(std::vector<std::string> arguments, bool recursive,
                       std::vector<std::string> extensions)
    : arguments_(std::move(arguments)), recursive_(recursive), extensions_(std::move(extensions)) {}

bool FolderWalk::isFolder(const std::string& path) {
    std::error_code error;
    return fs::is_directory(pathFromUtf8(path), error);
}

std::optional<CollectedFile> FolderWalk::enter(const std::string& path, const std::string& key) {
    Frame frame;
    frame.path = endsWithSeparator(path) ? path : path + "/";
    frame.key = key;
    std::error_code error;
    fs::directory_iterator it(pathFromUtf8(path), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code kindError;
        Entry listed{utf8FromPath(entry.path().filename()), false};
        if (entry.is_symlink(kindError)) {
            // A link to a folder is never followed; a link to a file (or to nothing: the file
            // vanished) is a file, and its read says what became of it.
            if (entry.is_directory(kindError)) {
                continue;
            }
        } else if (entry.is_directory(kindError)) {
            if (!recursive_) {
                continue;
            }
            listed.folder = true;
        } else if (!entry.is_regular_file(kindError) && !kindError) {
            continue;  // FIFOs, sockets and devices: reading one could wait for ever
        }
        if (!listed.folder && !hasExtension(listed.key, extensions_)) {
            continue;
        }
        if (listed.folder) {
            listed.key += '/';
        }
        frame.entries.push_back(std::move(listed));
    }
    if (error) {
        return CollectedFile{path, key, "couldn't read the folder: " + error.message()};
    }
    std::sort(frame.entries.begin(), frame.entries.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
    stack_.push_back(std::move(frame));
    return std::nullopt;
}

std::optional<CollectedFile> FolderWalk::next() {
    while (true) {
        if (stack_.empty()) {
            if (nextArgument_ == arguments_.size()) {
                return std::nullopt;
            }
            const std::string& argument = arguments_[nextArgument_++];
            if (!isFolder(argument)) {
                return CollectedFile{argument, argument, {}};
            }
            if (std::optional<CollectedFile> failed = enter(argument, ""); failed) {
                return failed;
            }
            continue;
        }
        Frame& frame = stack_.back();
        if (frame.next == frame.entries.size()) {
            stack_.pop_back();
            continue;
        }
        const Entry& entry = frame.entries[frame.next++];
        const std::string path = frame.path + entry.key;
        const std::string key = frame.key + entry.key;
        if (!entry.folder) {
            return CollectedFile{path, key, {}};
        }
        // The key's '/' is the separator the folder's frame needs.
        if (std::optional<CollectedFile> failed = enter(path, key); failed) {
            return failed;
        }
    }
}

}  // namespace bq::cli
