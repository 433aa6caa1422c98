#include "ui/save_document.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "box/signature.h"
#include "stream/utf8_path.h"
#include "ui/control_ids.h"
#include "ui/file_checks.h"
#include "ui/open_document.h"
#include "ui/platform.h"

namespace bq {

namespace {

constexpr std::size_t kMaxNameLength = kPathBufferSize - 1;

namespace fs = std::filesystem;

// The file some payload is still left in (in the document or a step of its history) when the
// save replaces it, else none.
const SourceFile* replacedWindowSource(const App& app, const std::string& destination) {
    const BoxList& boxes = app.boxes();
    std::vector<const SourceFile*> sources;
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box != nullptr && box->window && box->window->source != nullptr) {
            sources.push_back(box->window->source.get());
            break;  // a document's payloads are left in the one file it was read from
        }
    }
    if (const SourceFile* kept = app.history().windowSource(); kept != nullptr) {
        sources.push_back(kept);
    }
    for (const SourceFile* source : sources) {
        std::error_code error;
        if (fs::equivalent(pathFromUtf8(destination), pathFromUtf8(source->path), error)) {
            return source;
        }
    }
    return nullptr;
}

void moveWindows(App& app, const SourceFile* old, SourceFile written,
                 const std::vector<std::uint64_t>& offsets) {
    BoxList& boxes = app.boxes();
    const auto source = std::make_shared<const SourceFile>(std::move(written));
    // The history's copies share the windows' old file: they follow by the old offsets.
    std::map<std::uint64_t, std::uint64_t> moved;
    for (int row = 0; row < boxes.rowCount() && static_cast<std::size_t>(row) < offsets.size();
         ++row) {
        if (Box* box = boxes.boxAt(row); box != nullptr && box->window) {
            moved[box->window->offset] = offsets[static_cast<std::size_t>(row)];
            box->moveWindow(source, offsets[static_cast<std::size_t>(row)]);
        }
    }
    app.history().followSave(old, moved, source);
}

}  // namespace

std::string_view replaceFailureMessage(ReplaceOutcome outcome) {
    switch (outcome) {
        case ReplaceOutcome::Written:
            return {};
        case ReplaceOutcome::CreateFailed:
            return kCreateFailedMessage;
        case ReplaceOutcome::WriteFailed:
            return kWriteFailedMessage;
        case ReplaceOutcome::NotRegularFile:
            return kNotRegularFileMessage;
        case ReplaceOutcome::DanglingLink:
            return kDanglingLinkMessage;
    }
    return kWriteFailedMessage;
}

std::string applyExtensionRule(std::string name) {
    // The file's own name decides: a folder named "scans.jp2dir" says nothing of the file.
    const std::string_view file = std::string_view(name).substr(name.find_last_of("\\/") + 1);
    if (file.find(".jp2") == std::string_view::npos &&
        file.find(".jpx") == std::string_view::npos) {
        name += ".jp2";
    }
    return name;
}

namespace {

// An association whose rows are still being summed: the rows nested in it follow it in one
// run, so the open ones form a stack, each nested in the one below it when `inBelow`.
struct OpenAssociation {
    Box* box;
    std::uint64_t header;  // as counted this round
    std::uint64_t sum = 0;
    bool inBelow = false;
};

// Pass 1 of the refresh, with each association counted by the header `headers` holds for it
// (the one its size needed last time round, or the one it starts with). One pass over the
// rows, so the cost does not grow with the nesting depth. True when every association's
// header came out as counted.
bool sumAssociations(BoxList& boxes, std::unordered_map<Box*, std::uint64_t>& headers) {
    std::vector<OpenAssociation> open;
    std::unordered_map<const Box*, std::size_t> openAt;  // place on `open`
    // The association on top is complete: its size is final, and its whole box counts in the
    // one it is nested in.
    const auto close = [&] {
        const OpenAssociation done = open.back();
        open.pop_back();
        openAt.erase(done.box);
        done.box->payloadSize = done.sum;
        if (done.inBelow) {
            open.back().sum += done.header + done.sum;  // a document's sizes stay far below 2^64
        }
    };
    const int count = boxes.rowCount();
    for (int row = 0; row < count; ++row) {
        Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        // Only boxes that are rows of the document are counted in their parents.
        const auto parent = box->parent == nullptr ? openAt.end() : openAt.find(box->parent);
        const bool inParent = parent != openAt.end();
        if (inParent) {
            // Associations above the parent hold no more rows.
            const std::size_t depth = parent->second + 1;
            while (open.size() > depth) {
                close();
            }
        }
        if (box->type != kTypeAsoc) {
            if (inParent) {
                open.back().sum += box->writtenSize();
            }
            continue;
        }
        box->payloadSize = 0;
        const std::uint64_t header = headers.try_emplace(box, box->headerSize()).first->second;
        openAt[box] = open.size();
        open.push_back({box, header, 0, inParent});
    }
    while (!open.empty()) {
        close();
    }
    bool settled = true;
    for (auto& [box, counted] : headers) {
        if (const std::uint64_t needed = box->headerSize(); needed != counted) {
            counted = needed;
            settled = false;
        }
    }
    return settled;
}

}  // namespace

void refreshAssociationSizes(BoxList& boxes) {
    const int count = boxes.rowCount();
    for (int row = 0; row < count; ++row) {
        Box* box = boxes.boxAt(row);
        // Length 0 means "to the end of the file": true only of the last top-level box.
        if (box != nullptr && box->headerForm == HeaderForm::ToEnd &&
            (row != count - 1 || box->parent != nullptr)) {
            box->headerForm = HeaderForm::Plain;
        }
    }
    // An association that grows past 4 GiB takes a 16-byte header, which its ancestors must
    // count: repeat until no header changes (once more per level at the very most).
    std::unordered_map<Box*, std::uint64_t> headers;
    for (int round = 0; round <= count && !sumAssociations(boxes, headers); ++round) {
    }
    for (int row = 0; row < count; ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        const std::string size = std::to_string(box->payloadSize);
        if (boxes.sizeText(row) != size) {
            boxes.setSizeText(row, size);
        }
    }
}

bool writeDocument(const BoxList& boxes, ByteStream& stream,
                   std::vector<std::uint64_t>* payloadOffsets) {
    writeSignature(stream);
    if (!stream.good()) {
        return false;
    }
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        if (payloadOffsets != nullptr) {
            payloadOffsets->resize(static_cast<std::size_t>(boxes.rowCount()));
            (*payloadOffsets)[static_cast<std::size_t>(row)] = stream.tell() + box->headerSize();
        }
        if (!box->writeBox(stream, true) || !stream.good()) {
            return false;
        }
    }
    return true;
}

void saveDocument(App& app) {
    Platform& platform = app.platform();
    // Names are limited in the UTF-16 units the Windows dialogs count, on every platform.
    const std::string proposed(cutToWindowsLength(platform.controlText(IDC_PATH), kMaxNameLength));
    std::optional<std::string> chosen =
        platform.chooseSaveFile(jp2DialogRequest(proposed, kSaveDialogOptions));
    if (!chosen) {
        return;
    }
    const bool extended = applyExtensionRule(*chosen) != *chosen;
    const std::string target = applyExtensionRule(*chosen);
    if (windowsLength(target) > kMaxNameLength) {
        app.showError(kNameTooLongMessage);
        return;
    }
    // The dialog confirmed replacing the name as chosen; a file that only the extended name
    // hits is confirmed here.
    if (extended && pathExists(target) && !isFolder(target) &&
        !platform.askYesNo(kConfirmationCaption, target + std::string(kReplaceQuestionEnd))) {
        return;
    }
    refreshAssociationSizes(app.boxes());

    // Payloads left in the file being replaced must follow their bytes into the new one.
    const SourceFile* replaced = replacedWindowSource(app, target);
    std::vector<std::uint64_t> payloadOffsets;
    const ReplaceResult saved = replaceFile(target, [&](FileStream& stream) {
        return writeDocument(app.boxes(), stream, &payloadOffsets);
    });
    if (saved.outcome != ReplaceOutcome::Written) {
        app.showError(replaceFailureMessage(saved.outcome));
        return;
    }
    if (replaced != nullptr) {
        // When another writer has replaced the file since, its identity is unknown, and a later
        // copy from it is refused rather than taken from someone else's bytes.
        moveWindows(app, replaced,
                    SourceFile{saved.path, saved.identity.value_or(FileIdentity{}), {}},
                    payloadOffsets);
    }
    app.markUnmodified();
}

}  // namespace bq
