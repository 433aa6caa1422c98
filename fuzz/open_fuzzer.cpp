// Opens arbitrary bytes as a document, through the same path a user's file takes: a file
// on disk, openDocument, the box loop with every kind and the codestream capture and walk.
// Then everything the window shows and everything a save would write is built.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/document_harness.h"
#include "stream/memory_stream.h"
#include "ui/app.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace {

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "open fuzzer: %s\n", what.c_str());
    std::abort();
}

bool isOpenFailure(const std::string& text) {
    using bq::formatErrorText;
    return text == formatErrorText(bq::kReadFailedMessage) ||
           text == formatErrorText(bq::kCodestreamMessage) ||
           text == formatErrorText(bq::parseFailedMessage());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bq::harness::TempFolder folder("boxquill-fuzz-open");
    const std::string path = folder.file("input.jp2");
    if (!bq::harness::writeWholeFile(path, data, size)) {
        fail("cannot write " + path);
    }

    bq::harness::Document document;
    bq::openDocument(document.app, path);
    if (!document.platform.errors.empty()) {
        if (document.platform.errors.size() != 1 ||
            !isOpenFailure(document.platform.errors.front())) {
            fail("unexpected error box: " + document.platform.errors.front());
        }
        if (document.boxes.rowCount() != 0) {
            fail("a failed open left rows behind");
        }
        return 0;
    }
    if (document.app.modified()) {
        fail("a fresh document is marked modified");
    }

    bq::harness::exerciseDisplay(document.boxes);
    bq::refreshAssociationSizes(document.boxes);
    std::string problem;
    if (!bq::harness::snapshotRows(document.boxes, problem)) {
        fail(problem);
    }

    // What the editing commands do to a box from an untrusted file: its text typed back into
    // the content pane, and a payload imported from another untrusted file (these bytes).
    // A few imports cover every kind; one per box would make memory grow with the box count
    // times the input size.
    bq::MemoryStream imported;
    int importsLeft = 3;
    for (int row = 0; row < document.boxes.rowCount(); ++row) {
        bq::Box* box = document.boxes.boxAt(row);
        if (box->isEditable()) {
            box->setText(box->text());
        }
        if (box->canImport() && size != 0 && size <= 0xFFFFFFFFu && importsLeft-- > 0) {
            imported.attach(data, static_cast<std::uint32_t>(size));
            box->importPayload(imported, static_cast<std::uint32_t>(size));
        }
    }
    bq::harness::exerciseDisplay(document.boxes);
    bq::refreshAssociationSizes(document.boxes);
    if (!bq::harness::snapshotRows(document.boxes, problem)) {
        fail("after editing: " + problem);
    }
    return 0;
}
