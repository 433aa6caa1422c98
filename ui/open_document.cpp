#include "ui/open_document.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "box/read_box.h"
#include "box/signature.h"
#include "codestream/box_factory.h"
#include "stream/file_stream.h"
#include "ui/control_ids.h"

namespace bq {

std::string parseFailedMessage() {
    std::string message = "Couldn't parse the file!\n\nPlease send it to ";
    message += kSupportAddress;
    message += " so we could find out what's wrong. ";
    return message;
}

FileDialogRequest jp2DialogRequest(std::string initialName, std::uint32_t options) {
    FileDialogRequest request;
    request.filters = {{"JP2 files", "*.jp2;*.jpx"}, {"All", "*.*"}};
    request.initialName = std::move(initialName);
    request.options = options;
    return request;
}

namespace {

// Whether the document may be replaced: asked only when it holds unsaved changes.
bool mayDiscardDocument(App& app) {
    return !app.modified() || app.platform().askYesNo(kConfirmationCaption, kModifiedQuestion);
}

}  // namespace

void openDocument(App& app, std::optional<std::string> path, std::uint64_t holdLimit) {
    Platform& platform = app.platform();
    if (!path) {
        if (!mayDiscardDocument(app)) {
            return;
        }
        path = platform.chooseOpenFile(jp2DialogRequest("", kOpenDialogOptions));
        if (!path) {
            return;
        }
    }

    // The open itself tells a FIFO or a device from a file (and never waits for a FIFO's
    // writer): one status call, not a second one by name before it.
    FileStream stream;
    if (!stream.open(*path, "rb") || !stream.regularFile()) {
        app.showError(kOpenFailedMessage);
        return;
    }
    // What the file is now, so that payloads left in it can later be copied from this very
    // version and no other.
    const std::int64_t wideSize = stream.sizeWide();
    const std::optional<FileIdentity> identity = stream.identity();
    if (wideSize < 0 || !identity) {
        stream.close();
        app.showError(kOpenFailedMessage);
        return;
    }

    app.resetDocument();
    ReadContext context;
    context.fileSize = static_cast<std::uint64_t>(wideSize);
    context.source = std::make_shared<const SourceFile>(SourceFile{*path, *identity, {}});
    context.holdLimit = holdLimit;
    context.make = makeDocumentBox;

    auto fail = [&](std::string_view message) {
        stream.close();
        app.resetDocument();
        app.showError(message);
    };

    switch (testSignature(stream)) {
        case SignatureResult::Ok:
            break;
        case SignatureResult::ReadFailure:
            return fail(kReadFailedMessage);
        case SignatureResult::CodestreamFound:
            return fail(kCodestreamMessage);
        case SignatureResult::ParseFailure:
            return fail(parseFailedMessage());
    }

    while (std::unique_ptr<Box> box = readBox(stream, context)) {
        if (app.boxes().rowCount() >= kMaxDocumentRows) {
            return fail(kTooManyBoxesMessage);
        }
        // A row the list refused would take its box with it, and the nesting may still
        // point at that box: the document cannot be shown whole, so the open fails.
        if (insertBoxRow(app.boxes(), kAppendRow, std::move(box)) < 0) {
            return fail(kReadFailedMessage);
        }
    }
    if (!context.refusal.empty()) {
        return fail(context.refusal);
    }
    if (!stream.atEnd()) {
        return fail(parseFailedMessage());
    }
    context.nesting.reset();
    stream.close();
    app.setOpenedFileSize(context.fileSize);
    platform.setControlText(IDC_PATH, *path);
    platform.enableControl(IDC_ADD, true);
}

void openDroppedFile(App& app, const std::string& path) {
    if (mayDiscardDocument(app)) {
        openDocument(app, path);
    }
}

}  // namespace bq
