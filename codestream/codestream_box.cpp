#include "codestream/codestream_box.h"

#include <new>
#include <utility>

#include "codestream/capture.h"
#include "codestream/report.h"

namespace bq {

std::string CodestreamBox::text() const {
    if (errorText) {
        return *errorText;
    }
    return report.value_or(std::string{});
}

bool CodestreamBox::readPayload(ByteStream& stream, std::uint32_t fileSize,
                                NestingContext& /*nesting*/) {
    std::vector<std::uint8_t> captured;
    if (!captureCodestream(stream, fileSize, captured)) {
        return false;
    }
    // The payload is exactly the captured bytes, without a NUL: it is never shown as text.
    data = std::move(captured);
    payloadSize = static_cast<std::uint32_t>(data.size());
    if (parseCodestream(parser, info, data.data(), payloadSize)) {
        errorText.reset();
        buildReport();
    } else {
        errorText = std::string(kCodestreamParseError);
    }
    return true;
}

void CodestreamBox::buildReport() {
    try {
        report = formatReport(info, reportCapacity(info));
    } catch (const std::bad_alloc&) {
        report.reset();  // the box stays usable; its pane is then empty
    }
}

}  // namespace bq
