#include "codestream/codestream_box.h"

#include <algorithm>
#include <new>
#include <utility>

#include "codestream/report.h"
#include "stream/memory_stream.h"
#include "stream/window_stream.h"

namespace bq {

namespace {

// Reads and writes move at most this many bytes per call.
constexpr std::uint64_t kChunk = 1u << 30;

}  // namespace

std::string CodestreamBox::text() const {
    const std::string* shown = report();
    if (errorText) {
        // A walk that ran out still shows what it learnt before the bytes ended.
        return shown != nullptr ? *errorText + "\r\n\r\n" + *shown : *errorText;
    }
    return shown != nullptr ? *shown : std::string{};
}

const std::string* CodestreamBox::report() const {
    if (!reportBuilt_) {
        reportBuilt_ = true;
        const bool walkedHeader = walk.outcome == WalkOutcome::Complete ||
                                  (walk.outcome == WalkOutcome::RanOut && info.hasGrid());
        if (walkedHeader) {
            try {
                report_ = formatReport(info, reportCapacity(info));
            } catch (const std::bad_alloc&) {
                report_.reset();  // the box stays usable; its pane is then empty
            }
        }
    }
    return report_ ? &*report_ : nullptr;
}

std::unique_ptr<Box> CodestreamBox::clone() const {
    auto copy = std::make_unique<CodestreamBox>(*this);
    // The report is built again when the copy is shown; it may run to megabytes.
    copy->report_.reset();
    copy->reportBuilt_ = false;
    return copy;
}

std::uint64_t CodestreamBox::cloneCost() const {
    // A map node per tile: its record and the tree's own pointers, about.
    constexpr std::uint64_t kTileNodeCost = sizeof(TileParts) + 48;
    return data.capacity() + info.namedTiles.size() * kTileNodeCost;
}

bool CodestreamBox::readHeld(ByteStream& stream, std::uint64_t length) {
    if (!held_->allocate(static_cast<std::size_t>(length))) {
        return false;
    }
    for (std::uint64_t at = 0; at < length;) {
        const auto chunk = static_cast<std::uint32_t>(std::min(kChunk, length - at));
        stream.readBytes(held_->data() + at, chunk);
        at += chunk;
    }
    // The length was measured against the file: a shortfall means the file changed under us.
    return length == 0 || stream.good();
}

bool CodestreamBox::readPayload(ByteStream& stream, ReadContext& context) {
    const std::uint64_t start = stream.tell();
    const std::uint64_t available = context.fileSize > start ? context.fileSize - start : 0;
    const std::uint64_t declared = runsToEnd_ ? available : declaredSize_;
    const std::uint64_t length = std::min(declared, available);
    cutShort = declared > available;
    payloadSize = length;

    if (leaveInSource(stream, context)) {
        WindowStream view(stream, start, length);
        walk = walkCodestream(parser, info, view, length);
        if (!stream.seek(start + length)) {
            return false;
        }
    } else {
        // Held bytes are walked through a memory stream, which counts in 32 bits.
        if (length > 0xFFFFFFFFu || length > SIZE_MAX) {
            context.refusal = kPayloadTooLargeMessage;
            return false;
        }
        if (!readHeld(stream, length)) {
            held_->release();
            return false;
        }
        MemoryStream memory;
        memory.attach(held_->data(), static_cast<std::uint32_t>(length));
        walk = walkCodestream(parser, info, memory, length);
    }

    report_.reset();
    reportBuilt_ = false;
    switch (walk.outcome) {
        case WalkOutcome::Complete:
            errorText.reset();
            break;
        case WalkOutcome::RanOut:
            errorText = std::string(cutShort ? kCodestreamCutShort : kCodestreamNoEnd);
            break;
        case WalkOutcome::Invalid:
            errorText = std::string(kCodestreamParseError);
            break;
    }
    return true;
}

bool CodestreamBox::writePayload(ByteStream& stream) const {
    if (window) {
        return Box::writePayload(stream);
    }
    for (std::uint64_t at = 0; at < held_->size();) {
        const auto chunk =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, held_->size() - at));
        stream.writeBytes(held_->data() + at, chunk);
        at += chunk;
    }
    return true;
}

}  // namespace bq
