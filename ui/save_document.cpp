#include "ui/save_document.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>

#include "box/signature.h"
#include "stream/file_stream.h"
#include "ui/control_ids.h"
#include "ui/file_checks.h"
#include "ui/open_document.h"
#include "ui/platform.h"

namespace bq {

namespace {

constexpr std::size_t kMaxNameLength = kPathBufferSize - 1;
// The largest payload whose box length (payload + 8) still fits 32 bits.
constexpr std::uint64_t kMaxPayload = 0xFFFFFFFFull - kBoxHeaderSize;

namespace fs = std::filesystem;

// A name beside the target that no file has yet: the target's name with a suffix.
std::string temporaryNameFor(const std::string& target) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = target + ".bqtmp";
        if (attempt != 0) {
            candidate += std::to_string(attempt);
        }
        if (!pathExists(candidate)) {
            return candidate;
        }
    }
    return {};
}

// Replaces the target with the finished temporary file in one step; on Windows the runtime
// moves with replacement of an existing file.
bool replaceFile(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::rename(fs::path(from), fs::path(to), error);
    return !error;
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string resolvedTarget(const std::string& target) {
    std::error_code error;
    if (fs::is_symlink(fs::path(target), error)) {
        const fs::path real = fs::canonical(fs::path(target), error);
        if (!error) {
            return real.string();
        }
    }
    return target;
}

// The replacement keeps the access rights of the file it replaces. (On Windows the only
// right is read-only, and a read-only file cannot be replaced anyway.)
void keepPermissions(const std::string& target, const std::string& temporary) {
#if !defined(_WIN32)
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(target), error);
    if (!error && fs::exists(status)) {
        fs::permissions(fs::path(temporary), status.permissions(), error);
    }
#else
    static_cast<void>(target);
    static_cast<void>(temporary);
#endif
}

}  // namespace

std::string applyExtensionRule(std::string name) {
    if (name.find(".jp2") == std::string::npos && name.find(".jpx") == std::string::npos) {
        name += ".jp2";
    }
    return name;
}

bool refreshAssociationSizes(BoxList& boxes) {
    const int count = boxes.rowCount();
    // Sums are kept wide so that an overflow is seen rather than wrapped. Only boxes that
    // are rows of the document are followed as ancestors.
    std::unordered_map<const Box*, std::uint64_t> sums;
    for (int row = 0; row < count; ++row) {
        if (const Box* box = boxes.boxAt(row); box != nullptr && box->type == kTypeAsoc) {
            sums[box] = 0;
        }
    }
    bool fits = true;
    for (int row = 0; row < count; ++row) {
        Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        if (box->type == kTypeAsoc) {
            box->payloadSize = 0;
            sums[box] = 0;
        }
        // What the box puts in the file, so that each association's length covers exactly
        // the bytes written inside it.
        const std::uint64_t written =
            box->type == kTypeAsoc ? std::uint64_t{kBoxHeaderSize} : box->writtenSize();
        if (written > 0xFFFFFFFFull) {
            fits = false;
        }
        if (box->parent == nullptr) {
            continue;
        }
        for (Box* ancestor = box->parent; ancestor != nullptr; ancestor = ancestor->parent) {
            const auto found = sums.find(ancestor);
            if (found == sums.end()) {
                break;
            }
            std::uint64_t& sum = found->second;
            sum += written;
            if (sum > kMaxPayload) {
                fits = false;
                sum = kMaxPayload;
            }
            ancestor->payloadSize = static_cast<std::uint32_t>(sum);
        }
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
    return fits;
}

bool writeDocument(const BoxList& boxes, ByteStream& stream) {
    writeSignature(stream);
    if (!stream.good()) {
        return false;
    }
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        if (!box->writeBox(stream, true) || !stream.good()) {
            return false;
        }
    }
    return true;
}

void saveDocument(App& app) {
    Platform& platform = app.platform();
    std::string proposed = platform.controlText(IDC_PATH);
    if (proposed.size() > kMaxNameLength) {
        proposed.resize(kMaxNameLength);
    }
    std::optional<std::string> chosen =
        platform.chooseSaveFile(jp2DialogRequest(proposed, kSaveDialogOptions));
    if (!chosen) {
        return;
    }
    const bool extended = applyExtensionRule(*chosen) != *chosen;
    const std::string target = applyExtensionRule(*chosen);
    if (target.size() > kMaxNameLength) {
        app.showError(kNameTooLongMessage);
        return;
    }
    // The dialog confirmed replacing the name as chosen; a file that only the extended name
    // hits is confirmed here.
    if (extended && pathExists(target) && !isFolder(target) &&
        !platform.askYesNo(kConfirmationCaption, target + std::string(kReplaceQuestionEnd))) {
        return;
    }
    if (!refreshAssociationSizes(app.boxes())) {
        app.showError(kTooLargeToSaveMessage);
        return;
    }

    const std::string destination = resolvedTarget(target);
    const std::string temporary =
        isFolder(destination) ? std::string() : temporaryNameFor(destination);
    FileStream stream;
    if (temporary.empty() || !stream.open(temporary, "wb")) {
        app.showError(kCreateFailedMessage);
        return;
    }
    bool written = writeDocument(app.boxes(), stream);
    written = stream.flush() && written && !stream.hasError();
    stream.close();
    if (written) {
        keepPermissions(destination, temporary);
    }
    if (!written || !replaceFile(temporary, destination)) {
        removeQuietly(temporary);
        app.showError(kWriteFailedMessage);
        return;
    }
    app.markUnmodified();
}

}  // namespace bq
