#pragma once

// Shared by the fuzz targets, their replay drivers and the real-file tests: a platform that
// answers without asking anyone, a document held in memory, and the comparison of a
// document before a save with the same document opened again from the saved file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/app.h"
#include "ui/memory_box_list.h"
#include "ui/platform.h"

namespace bq::harness {

// Answers every question with Yes, every save dialog with `saveAnswer`, every open dialog
// with `openAnswer`, and keeps the error boxes it was asked to show.
class QuietPlatform final : public Platform {
  public:
    bool askYesNo(std::string_view caption, std::string_view text) override;
    void showErrorBox(std::string_view caption, std::string_view text) override;
    std::optional<std::string> chooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileDialogRequest& request) override;
    int runAddDialog() override { return 2; }
    void setTitle(std::string_view title) override { this->title = title; }
    void setControlText(int id, std::string_view text) override;
    std::string controlText(int id) override;
    void enableControl(int id, bool enabled) override { this->enabled[id] = enabled; }
    bool isControlEnabled(int id) override;
    void setReadOnly(int id, bool readOnly) override { this->readOnly[id] = readOnly; }

    std::vector<std::string> errors;  // the error boxes' texts, in order
    std::optional<std::string> openAnswer;
    std::optional<std::string> saveAnswer;
    std::string title;
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;
    std::map<int, bool> readOnly;
};

// The application with an in-memory document.
struct Document {
    Document() : app(platform, boxes) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    QuietPlatform platform;
    MemoryBoxList boxes;
    App app;
};

// One row as the user sees it and as the save writes it.
struct RowSnapshot {
    std::string id;
    std::string description;
    std::string size;
    std::uint32_t type = 0;
    int depth = 0;
    // Whether the payload is a label ending in a NUL, which the next read drops.
    bool labelEndsInNul = false;
    // The whole box as writeBox with its header puts it in a file.
    std::vector<std::uint8_t> written;
};

// Every row, each box written into memory. Returns none and a reason in `problem` when a
// box writes other than the number of bytes it announces.
std::optional<std::vector<RowSnapshot>> snapshotRows(const BoxList& boxes, std::string& problem);

// Touches everything the window shows of every box (texts, descriptions, file kinds), so
// that a fuzzer reaches the display code too.
void exerciseDisplay(const BoxList& boxes);

// The rows a document saved as `before` must have when opened again: a label's trailing NUL
// is dropped by the read (and its associations shrink by that byte); everything else is the
// same. Returns a description of the first difference, or none.
std::optional<std::string> compareReopened(const std::vector<RowSnapshot>& before,
                                           const std::vector<RowSnapshot>& after);

// The file a save of `rows` must produce: the signature box, then every written box.
std::vector<std::uint8_t> expectedFile(const std::vector<RowSnapshot>& rows);

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path);
bool writeWholeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size);

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    explicit TempFolder(std::string_view prefix = "boxquill");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// The outcome of opening, saving and opening again one input.
struct RoundTrip {
    bool opened = false;                    // the first open succeeded
    std::string openError;                  // its error box text otherwise
    std::optional<std::string> difference;  // none when the round trip kept everything
    std::size_t rows = 0;
};

// Opens `input`, saves the document to `savedPath` and opens that again, comparing rows,
// written boxes and the saved file's bytes.
RoundTrip roundTrip(const std::string& input, const std::string& savedPath);

// Inputs that once crashed the XML readers, built here because they are large: 100,000
// nested elements as bare text, as an XMP packet and as a plain XML box, and a GML text whose
// comment holds end tags before such a nesting, bare and as a GMLJP2 set. Every target is
// seeded with them and replays them.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> craftedXmlInputs();

}  // namespace bq::harness
