#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "box/text_box.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "stream/utf8_path.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/durable_write.h"
#include "ui/file_checks.h"

namespace bq {

namespace {

// The largest payload file a box can take: a uuid box puts 16 identifier bytes in front,
// and the box's length, header included, must fit its 32-bit field.
constexpr std::int64_t kMaxImportSize = std::int64_t{0xFFFFFFFF} - 16 - 8;

constexpr std::string_view kImportTooLarge =
    "Couldn't read the file!\n\nIt is too large for a box (4 GiB or more). ";
constexpr std::string_view kImportNoMemory = "Couldn't read the file!\n\nNot enough memory. ";

FileDialogRequest payloadDialog(const FileKind& kind, std::string initialName,
                                std::uint32_t options) {
    return FileDialogRequest{
        {{std::string(kind.typeName) + " files", std::string("*") + kind.extension},
         {"All", "*.*"}},
        std::move(initialName),
        options};
}

// The whole file in memory, or a message saying why it could not be had. Reading it whole
// before the box is touched keeps a read error or a file that shrinks from leaving a partial
// payload behind.
struct FileBytes {
    std::vector<std::uint8_t> bytes;
    std::uint32_t size = 0;
    std::string_view error;
};

FileBytes readWholeFile(const std::string& path) {
    FileBytes result;
    FileStream file;
    if (isFolder(path) || !file.open(path, "rb")) {
        result.error = kImportOpenFailed;
        return result;
    }
    const std::int64_t size = file.sizeWide();
    if (size < 0) {
        result.error = kImportReadFailed;
        return result;
    }
    if (size > kMaxImportSize) {
        result.error = kImportTooLarge;
        return result;
    }
    result.size = static_cast<std::uint32_t>(size);
    try {
        // One byte at least, so the memory stream always has a buffer to borrow.
        result.bytes.resize(std::size_t{result.size} + 1);
    } catch (const std::bad_alloc&) {
        result.error = kImportNoMemory;
        return result;
    }
    file.readBytes(result.bytes.data(), result.size);
    if (!file.good() || file.hasError()) {
        result.error = kImportReadFailed;
    }
    return result;
}

// What a failed importPayload may have changed, so the box can be put back as it was.
struct BoxSnapshot {
    std::vector<std::uint8_t> data;
    std::uint64_t payloadSize = 0;
    int capacity = 0;
};

}  // namespace

bool importBoxPayload(App& app) {
    Box* box = app.boxes().boxAt(app.boxes().selectedRow());
    // Association boxes are unlocked yet take no payload: their content is their children.
    if (box == nullptr || box->isLocked() || !box->canImport()) {
        return false;
    }
    const FileKind kind = box->fileKind();
    const std::optional<std::string> path =
        app.platform().chooseOpenFile(payloadDialog(kind, std::string(), kOpenDialogOptions));
    if (!path) {
        return false;
    }
    FileBytes file = readWholeFile(*path);
    if (!file.error.empty()) {
        return app.showError(file.error);
    }

    BoxSnapshot before;
    auto* textBox = dynamic_cast<TextBox*>(box);
    try {
        before.data = box->data;
    } catch (const std::bad_alloc&) {
        return app.showError(kImportNoMemory);
    }
    before.payloadSize = box->payloadSize;
    before.capacity = textBox != nullptr ? textBox->capacity : 0;

    MemoryStream stream;
    stream.attach(file.bytes.data(), file.size);
    if (!box->importPayload(stream, file.size)) {
        box->data = std::move(before.data);
        box->payloadSize = before.payloadSize;
        if (textBox != nullptr) {
            textBox->capacity = before.capacity;
        }
        return app.showError(kImportNoMemory);
    }
    app.markModified();
    showBox(app, app.boxes().selectedRow());
    return true;
}

bool exportBoxPayload(App& app) {
    const Box* box = app.boxes().boxAt(app.boxes().selectedRow());
    if (box == nullptr || box->type == kTypeAsoc) {
        return false;
    }
    const FileKind kind = box->fileKind();
    Platform& platform = app.platform();
    const std::string proposed = proposedExportName(platform.controlText(IDC_PATH), kind.extension);
    const std::optional<std::string> path =
        platform.chooseSaveFile(payloadDialog(kind, proposed, kSaveDialogOptions));
    if (!path) {
        return false;
    }
    // Written as a save is, so a failure never harms a file the export was to replace. A
    // full disk or a failing device must not pass for a written payload.
    const DurableWrite exported = writeDurably(
        resolvedTarget(*path), [box](FileStream& file) { return box->writeBox(file, false); });
    switch (exported.outcome) {
        case WriteOutcome::Written:
            return true;
        case WriteOutcome::CreateFailed:
            return app.showError(kExportCreateFailed);
        case WriteOutcome::WriteFailed:
            return app.showError(kExportWriteFailed);
    }
    return false;
}

std::string baseName(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string proposedExportName(std::string_view path, std::string_view extension) {
    // The path field is read with at most 259 characters, as its buffer holds; characters are
    // counted in UTF-16 units, as Windows counts them.
    constexpr std::size_t kMaxName = kPathBufferSize - 1;
    std::string name = baseName(cutToWindowsLength(path, kMaxName));
    if (const auto dot = name.find_last_of('.'); dot != std::string::npos) {
        name.resize(dot);
    }
    // Keep the extension whole, so the dialog proposes a file of the right kind.
    const std::string_view ext = cutToWindowsLength(extension, kMaxName);
    name = std::string(cutToWindowsLength(name, kMaxName - windowsLength(ext)));
    name += ext;
    return name;
}

}  // namespace bq
