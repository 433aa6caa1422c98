#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "box/text_box.h"
#include "stream/file_stream.h"
#include "stream/input_file.h"
#include "stream/memory_stream.h"
#include "stream/utf8_path.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/file_checks.h"
#include "ui/save_document.h"

namespace bq {

namespace {

// The largest payload file a box can take: a text box is held and edited as a whole, and a
// uuid box puts 16 identifier bytes in front, its length, header included, fitting 32 bits.
std::uint64_t importLimit(const Box& box) {
    return dynamic_cast<const TextBox*>(&box) != nullptr ? kMaxHeldPayload
                                                         : std::uint64_t{0xFFFFFFFF} - 16 - 8;
}

// A streamed payload longer than this is left in the temporary file it was spooled to.
constexpr std::uint64_t kHeldImport = 64u << 20;

constexpr std::string_view kImportTooLarge =
    "Couldn't read the file!\n\nIt is larger than the box can hold. ";
constexpr std::string_view kImportNoMemory = "Couldn't read the file!\n\nNot enough memory. ";
constexpr std::string_view kImportNoWriter =
    "Couldn't read the file!\n\nIt is a FIFO that no program wrote to. ";

FileDialogRequest payloadDialog(const FileKind& kind, std::string initialName,
                                std::uint32_t options) {
    return FileDialogRequest{
        {{std::string(kind.typeName) + " files", std::string("*") + kind.extension},
         {"All", "*.*"}},
        std::move(initialName),
        options};
}

std::string_view inputFailureMessage(InputError error) {
    switch (error) {
        case InputError::None:
            return {};
        case InputError::OpenFailed:
            return kImportOpenFailed;
        case InputError::ReadFailed:
            return kImportReadFailed;
        case InputError::TooLarge:
            return kImportTooLarge;
        case InputError::NoMemory:
            return kImportNoMemory;
        case InputError::NoWriter:
            return kImportNoWriter;
        case InputError::HoldsNul:
            return kTextWithNulMessage;
    }
    return kImportReadFailed;
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
    // Read whole before the box is touched, so a read error or a file that is too large never
    // leaves a partial payload behind.
    auto* textBox = dynamic_cast<TextBox*>(box);
    // A text box keeps its text up to the first NUL: the rest would be lost without a word.
    InputBytes file = textBox != nullptr ? readTextInput(*path, importLimit(*box))
                                         : readInputSpooling(*path, importLimit(*box), kHeldImport);
    if (file.error != InputError::None) {
        return app.showError(inputFailureMessage(file.error));
    }
    if (file.spooled != nullptr) {
        // A large stream stays in its temporary file, which a save copies from.
        FileStream spool;
        std::optional<FileWindow> window;
        if (spool.open(file.spooled->path, "rb")) {
            window = makeFileWindow(spool, file.spooled, 0, file.spooled->identity.size);
        }
        if (!window) {
            return app.showError(kImportReadFailed);
        }
        if (!box->importWindow(std::move(*window))) {
            return app.showError(kImportTooLarge);
        }
        app.markModified();
        showBox(app, app.boxes().selectedRow());
        return true;
    }
    const auto size = static_cast<std::uint32_t>(file.bytes.size());
    // One byte at least, so the memory stream always has a buffer to borrow.
    file.bytes.push_back(0);

    BoxSnapshot before;
    try {
        before.data = box->data;
    } catch (const std::bad_alloc&) {
        return app.showError(kImportNoMemory);
    }
    before.payloadSize = box->payloadSize;
    before.capacity = textBox != nullptr ? textBox->capacity : 0;

    MemoryStream stream;
    stream.attach(file.bytes.data(), size);
    UndoStep step(app);
    if (!box->importPayload(stream, size)) {
        box->data = std::move(before.data);
        box->payloadSize = before.payloadSize;
        if (textBox != nullptr) {
            textBox->capacity = before.capacity;
        }
        return app.showError(kImportNoMemory);
    }
    step.commit();
    app.markModified();
    showBox(app, app.boxes().selectedRow());
    return true;
}

bool canExportPayload(const BoxList& boxes) {
    const Box* box = boxes.boxAt(boxes.selectedRow());
    return box != nullptr && box->type != kTypeAsoc;
}

bool exportBoxPayload(App& app) {
    if (!canExportPayload(app.boxes())) {
        return false;
    }
    const Box* box = app.boxes().boxAt(app.boxes().selectedRow());
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
    const ReplaceResult exported =
        replaceFile(*path, [box](FileStream& file) { return box->writeBox(file, false); });
    if (exported.outcome != ReplaceOutcome::Written) {
        return app.showError(replaceFailureMessage(exported.outcome));
    }
    return true;
}

std::string baseName(std::string_view path) {
    const auto slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string withDefaultExtension(std::string name, std::string_view extension) {
    if (baseName(name).find('.') == std::string::npos) {
        name += extension;
    }
    return name;
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
