#pragma once
// The values a profile rule may name: every key `info --json` gives for a file, and the facts
// the engine adds (box counts, markers of the main and tile-part headers, tile-parts per tile,
// the ICC profile's description). Key paths are checked against this list when a profile is
// loaded, so a misspelt key is refused before any file is read, not silently absent.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bq {

enum class KeyType : unsigned char { Number, String, Boolean, Any };
// Where a key's value lives: the file's description (`info --json`) or the engine's facts.
enum class KeySource : unsigned char { Info, Fact };

// One step of a key path: an object key, then optionally an array step.
struct KeyStep {
    enum class Index : unsigned char { None, At, Every, Some };
    std::string key;
    Index index = Index::None;
    std::size_t at = 0;  // for Index::At
};

struct KeyPath {
    std::string text;  // as the profile wrote it
    std::vector<KeyStep> steps;
    KeyType type = KeyType::Any;
    KeySource source = KeySource::Info;
    // Whether the path runs over an array ([*] or [?]) and so names a list of values.
    bool isList() const;
    // [?]: the rule holds when it holds for one element; [*]: for every element.
    bool anyElement() const;
};

// Parses "codestream.coding.precincts[*].width" and finds it among the known keys. None with
// `error` set for bad syntax or a key no file can have.
std::optional<KeyPath> parseKeyPath(std::string_view text, std::string& error);

// Every known key as a pattern ("codestream.coding.precincts[].width", "boxes.<type>"), with
// its type: for the reference page and for the test that holds `info --json` to the list.
struct KnownKey {
    std::string pattern;
    KeyType type;
    KeySource source;
};
const std::vector<KnownKey>& knownKeys();
// The pattern a concrete key of `info --json` ("codestream.components[2].bitDepth") falls
// under; none when no known key matches.
const KnownKey* findKnownKey(std::string_view concrete);

}  // namespace bq
