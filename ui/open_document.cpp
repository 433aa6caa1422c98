#include "ui/open_document.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "box/read_box.h"
#include "box/signature.h"
#include "stream/file_stream.h"
#include "ui/control_ids.h"
#include "ui/file_checks.h"

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

namespace {}  // namespace

void openDocument(App& app, std::optional<std::string> path) {
    Platform& platform = app.platform();
    if (!path) {
        if (app.modified() && !platform.askYesNo(kConfirmationCaption, kModifiedQuestion)) {
            return;
        }
        path = platform.chooseOpenFile(jp2DialogRequest("", kOpenDialogOptions));
        if (!path) {
            return;
        }
    }

    FileStream stream;
    if (isFolder(*path) || !stream.open(*path, "rb")) {
        app.showError(kOpenFailedMessage);
        return;
    }
    // Box lengths and positions are 32-bit: a larger file cannot be read faithfully, so it
    // is refused while the old document is still there.
    const std::int64_t wideSize = stream.sizeWide();
    if (wideSize < 0) {
        stream.close();
        app.showError(kOpenFailedMessage);
        return;
    }
    if (wideSize > std::int64_t{0xFFFFFFFF}) {
        stream.close();
        app.showError(kTooLargeMessage);
        return;
    }
    const auto fileSize = static_cast<std::uint32_t>(wideSize);

    app.resetDocument();
    NestingContext nesting;

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

    while (std::unique_ptr<Box> box = readBox(stream, fileSize, nesting)) {
        // A row the list refused would take its box with it, and the nesting may still
        // point at that box: the document cannot be shown whole, so the open fails.
        if (insertBoxRow(app.boxes(), kAppendRow, std::move(box)) < 0) {
            return fail(kReadFailedMessage);
        }
    }
    if (!stream.atEnd()) {
        return fail(parseFailedMessage());
    }
    nesting.reset();
    stream.close();
    platform.setControlText(IDC_PATH, *path);
    platform.enableControl(IDC_ADD, true);
}

}  // namespace bq
