// Arbitrary bytes as a codestream: the marker walk over all of them, then the same bytes as
// the content of a 'jp2c' box of length 0 (the whole input taken, walked and reported).

#include <cstddef>
#include <cstdint>

#include "box/box.h"
#include "codestream/codestream_box.h"
#include "codestream/parse_codestream.h"
#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu) {
        return 0;
    }
    const auto count = static_cast<std::uint32_t>(size);

    {
        bq::MarkerParser parser;
        bq::CodestreamInfo info;
        bq::parseCodestream(parser, info, data, count);
    }

    bq::MemoryStream stream;
    stream.attach(data, count);
    bq::ReadContext context;
    context.fileSize = count;
    bq::CodestreamBox box(0, true);
    if (box.readPayload(stream, context)) {
        volatile std::size_t sink = box.text().size() + box.description().size();
        (void)sink;
    }
    return 0;
}
