// Builds a JP2 file holding a valid codestream of about 256 MiB and measures the codestream
// capture (throughput), the whole open of the file (the box walk alone, then the editor's
// openDocument into an in-memory list), and the process's peak resident memory.
//
//   capture_bench [--mib N] [--keep PATH] [--compare]
//
// --keep writes the file to PATH and leaves it there (to time other readers on it); without
// it the file goes to a temporary folder and is removed. --compare also times two other ways
// of capturing (one pass into a buffer reserved to the rest of the file, and the byte-wise
// capture into a file-sized buffer followed by a copy) and the cost of merely allocating and
// zeroing as many bytes as the capture holds, which any capture that keeps them pays.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "box/read_box.h"
#include "box/signature.h"
#include "codestream/capture.h"
#include "codestream/codestream_box.h"
#include "stream/file_stream.h"
#include "ui/app.h"
#include "ui/memory_box_list.h"
#include "ui/open_document.h"
#include "ui/platform.h"

namespace {

using Clock = std::chrono::steady_clock;
using bq::FileStream;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory in KiB (VmHWM), or -1 where /proc is missing.
double peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return static_cast<double>(std::strtol(line.c_str() + 6, nullptr, 10));
        }
    }
    return -1;
}

double residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return static_cast<double>(std::strtol(line.c_str() + 6, nullptr, 10));
        }
    }
    return -1;
}

// Lets the next peakResidentKiB() report the peak from here on (Linux 4.0 and later).
void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

class Writer {
  public:
    explicit Writer(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~Writer() {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    bool ok() const { return file_ != nullptr && std::ferror(file_) == 0; }
    void bytes(const void* p, std::size_t n) { std::fwrite(p, 1, n, file_); }
    void u8(std::uint8_t v) { bytes(&v, 1); }
    void u16(std::uint16_t v) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        bytes(b, 2);
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v >> 16));
        u16(static_cast<std::uint16_t>(v));
    }
    void text(const char* s) { bytes(s, std::strlen(s)); }
    long tell() const { return std::ftell(file_); }

  private:
    std::FILE* file_;
};

// Entropy-coded-looking bytes: random, with every 0xFF followed by a byte below 0x90, as the
// bit stuffing of real tile data guarantees, so no marker appears inside a tile-part.
void fillTileData(std::vector<std::uint8_t>& buffer, std::uint64_t& state) {
    for (std::size_t i = 0; i < buffer.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        auto byte = static_cast<std::uint8_t>(state >> 24);
        if (i > 0 && buffer[i - 1] == 0xFF) {
            byte &= 0x7F;
        }
        buffer[i] = byte;
    }
    if (!buffer.empty() && buffer.back() == 0xFF) {
        buffer.back() = 0x00;
    }
}

struct Layout {
    std::uint32_t codestreamOffset = 0;  // just behind the jp2c header
    std::uint32_t codestreamSize = 0;
    std::uint32_t fileSize = 0;
    int tiles = 0;
};

// A JP2 file: signature, ftyp, a small jp2h, a 'jp2c' box of length 0 holding the codestream
// (16 x 16 tiles of 1024 x 1024, one tile-part each), then an xml box.
bool writeFile(const std::string& path, std::uint32_t mib, Layout& layout) {
    Writer w(path);
    w.u32(12);
    w.text("jP  ");
    w.u32(0x0D0A870A);
    w.u32(20);
    w.text("ftyp");
    w.text("jp2 ");
    w.u32(0);
    w.text("jp2 ");
    w.u32(8 + 22);
    w.text("jp2h");
    w.u32(22);
    w.text("ihdr");
    w.u32(16384);
    w.u32(16384);
    w.u16(3);
    w.u8(7);
    w.u8(7);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.text("jp2c");
    layout.codestreamOffset = static_cast<std::uint32_t>(w.tell());

    const int tiles = 256;
    const std::uint64_t total = std::uint64_t{mib} << 20;
    const auto tilePart = static_cast<std::uint32_t>(total / tiles);
    w.u16(0xFF4F);
    w.u16(0xFF51);  // SIZ: 16384 x 16384, 1024 x 1024 tiles, 3 components
    w.u16(38 + 9);
    w.u16(0);
    for (std::uint32_t v : {16384u, 16384u, 0u, 0u, 1024u, 1024u, 0u, 0u}) {
        w.u32(v);
    }
    w.u16(3);
    for (int c = 0; c < 3; ++c) {
        w.u8(7);
        w.u8(1);
        w.u8(1);
    }
    const std::uint8_t cod[] = {0xFF, 0x52, 0x00, 0x0C, 0, 0, 0, 1, 1, 5, 4, 4, 0, 0};
    w.bytes(cod, sizeof cod);
    const std::uint8_t qcd[] = {0xFF, 0x5C, 0x00, 0x04, 0x40, 0x48};
    w.bytes(qcd, sizeof qcd);
    std::vector<std::uint8_t> data(tilePart - 14);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (int t = 0; t < tiles; ++t) {
        w.u16(0xFF90);
        w.u16(10);
        w.u16(static_cast<std::uint16_t>(t));
        w.u32(tilePart);
        w.u8(0);
        w.u8(1);
        w.u16(0xFF93);
        fillTileData(data, state);
        w.bytes(data.data(), data.size());
    }
    w.u16(0xFFD9);
    layout.codestreamSize = static_cast<std::uint32_t>(w.tell()) - layout.codestreamOffset;
    w.u32(8 + 14);
    w.text("xml ");
    w.text("<after-eoc/>\r\n");
    layout.fileSize = static_cast<std::uint32_t>(w.tell());
    layout.tiles = tiles;
    return w.ok();
}

// Answers nothing and counts the error boxes.
class SilentPlatform final : public bq::Platform {
  public:
    bool askYesNo(std::string_view, std::string_view) override { return false; }
    void showErrorBox(std::string_view, std::string_view text) override {
        ++errors;
        std::fprintf(stderr, "error box: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    std::optional<std::string> chooseOpenFile(const bq::FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<std::string> chooseSaveFile(const bq::FileDialogRequest&) override {
        return std::nullopt;
    }
    int runAddDialog() override { return 2; }
    void setTitle(std::string_view) override {}
    void setControlText(int, std::string_view) override {}
    std::string controlText(int) override { return {}; }
    void enableControl(int, bool) override {}
    bool isControlEnabled(int) override { return false; }
    void setReadOnly(int, bool) override {}

    int errors = 0;
};

// One pass into a buffer reserved to the rest of the file. Its size is then cut to the capture
// but its capacity is not (trimming it would copy): the untouched part costs address space,
// not resident memory.
bool captureOnePass(FileStream& stream, std::uint32_t fileSize, std::vector<std::uint8_t>& out) {
    const std::uint32_t start = stream.tell();
    std::vector<std::uint8_t> bytes;
    bytes.reserve(fileSize - start);
    std::uint8_t previous = 0;
    for (std::uint32_t at = 0; at < fileSize - start;) {
        const std::uint32_t want =
            std::min<std::uint32_t>(bq::kCaptureBlockSize, fileSize - start - at);
        bytes.resize(at + want);
        stream.readBytes(bytes.data() + at, want);
        for (std::uint32_t i = at; i < at + want; ++i) {
            const std::uint8_t* hit = static_cast<const std::uint8_t*>(
                std::memchr(bytes.data() + i, 0xFF, at + want - i));
            if (previous == 0xFF && bytes[i] == 0xD9) {
                bytes.resize(i + 1);
                stream.seek(start + i + 1);
                out.swap(bytes);
                return true;
            }
            if (hit == nullptr) {
                previous = bytes[at + want - 1];
                break;
            }
            const auto index = static_cast<std::uint32_t>(hit - bytes.data());
            if (index + 1 < at + want && bytes[index + 1] == 0xD9) {
                bytes.resize(index + 2);
                stream.seek(start + index + 2);
                out.swap(bytes);
                return true;
            }
            previous = 0xFF;
            i = index;
        }
        at += want;
    }
    return false;
}

// The byte-wise capture into a file-sized buffer, then a copy of the exact size.
bool captureByteWise(FileStream& stream, std::uint32_t fileSize, std::vector<std::uint8_t>& out) {
    std::unique_ptr<std::uint8_t[]> temporary(new std::uint8_t[fileSize]);
    std::uint32_t size = 0;
    std::uint8_t previous = 0;
    for (;;) {
        std::uint8_t byte = 0;
        stream.readU8(byte);
        if (!stream.good() || size == fileSize) {
            return false;
        }
        temporary[size++] = byte;
        if (previous == 0xFF && byte == 0xD9) {
            break;
        }
        previous = byte;
    }
    out.assign(temporary.get(), temporary.get() + size);
    return true;
}

template <typename Capture>
bool timeCapture(const char* name, const std::string& path, const Layout& layout, Capture capture,
                 int runs) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        FileStream stream;
        if (!stream.open(path, "rb")) {
            return false;
        }
        const std::uint32_t fileSize = stream.size();
        stream.seek(layout.codestreamOffset);
        resetPeak();
        const double before = residentKiB();
        std::vector<std::uint8_t> out;
        const auto start = Clock::now();
        const bool ok = capture(stream, fileSize, out);
        const double seconds = secondsSince(start);
        if (!ok || out.size() != layout.codestreamSize ||
            stream.tell() != layout.codestreamOffset + layout.codestreamSize) {
            std::fprintf(stderr, "%s: wrong capture\n", name);
            return false;
        }
        best = std::min(best, seconds);
        if (run == runs - 1) {
            const double mib = layout.codestreamSize / 1048576.0;
            const double peak = peakResidentKiB();
            std::printf("%-28s %8.1f MiB/s  best %.3f s  peak growth %.1f MiB (%.3f x captured)\n",
                        name, mib / best, best, (peak - before) / 1024.0,
                        (peak - before) / 1024.0 / mib);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t mib = 256;
    std::string keep;
    bool compare = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else if (arg == "--mib" && i + 1 < argc) {
            mib = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--compare") {
            compare = true;
        } else {
            std::fprintf(stderr, "usage: capture_bench [--mib N] [--keep PATH] [--compare]\n");
            return 2;
        }
    }
    if (mib == 0 || mib > 3072) {
        std::fprintf(stderr, "--mib must be between 1 and 3072\n");
        return 2;
    }

    std::filesystem::path folder;
    std::string path = keep;
    if (path.empty()) {
        folder = std::filesystem::temp_directory_path() /
                 ("boxquill_bench_" + std::to_string(static_cast<long>(std::rand())) + "_" +
                  std::to_string(Clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(folder);
        path = (folder / "large.jp2").string();
    }
    struct Cleanup {
        std::filesystem::path folder;
        ~Cleanup() {
            if (!folder.empty()) {
                std::error_code ignored;
                std::filesystem::remove_all(folder, ignored);
            }
        }
    } cleanup{folder};

    Layout layout;
    const auto writeStart = Clock::now();
    if (!writeFile(path, mib, layout)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("file %s: %u bytes, codestream %u bytes (%.1f MiB), %d tiles, written in %.2f s\n",
                keep.empty() ? "(temporary)" : path.c_str(), layout.fileSize, layout.codestreamSize,
                layout.codestreamSize / 1048576.0, layout.tiles, secondsSince(writeStart));

    const double baseline = residentKiB();
    std::printf("resident before reading: %.1f MiB\n", baseline / 1024.0);

    // The whole open: signature, then every box, the codestream captured and walked.
    resetPeak();
    const auto openStart = Clock::now();
    {
        FileStream stream;
        if (!stream.open(path, "rb")) {
            return 1;
        }
        const std::uint32_t fileSize = stream.size();
        if (bq::testSignature(stream) != bq::SignatureResult::Ok) {
            std::fprintf(stderr, "signature refused\n");
            return 1;
        }
        bq::NestingContext nesting;
        int boxes = 0;
        bool report = false;
        while (std::unique_ptr<bq::Box> box = bq::readBox(stream, fileSize, nesting)) {
            ++boxes;
            if (const auto* cs = dynamic_cast<const bq::CodestreamBox*>(box.get())) {
                report = cs->report.has_value() && cs->payloadSize == layout.codestreamSize;
            }
        }
        const double seconds = secondsSince(openStart);
        const double peak = peakResidentKiB();
        if (!stream.atEnd() || boxes != 4 || !report) {
            std::fprintf(stderr, "open: %d boxes, report %d, at end %d\n", boxes, report,
                         stream.atEnd());
            return 1;
        }
        std::printf(
            "open (signature + readBox loop): %.3f s, %.1f MiB/s of file; peak resident "
            "%.1f MiB = %.3f x codestream (%.3f x above baseline)\n",
            seconds, layout.fileSize / 1048576.0 / seconds, peak / 1024.0,
            peak / 1024.0 / (layout.codestreamSize / 1048576.0),
            (peak - baseline) / 1024.0 / (layout.codestreamSize / 1048576.0));
    }

    // The editor's own open, into an in-memory box list.
    resetPeak();
    {
        SilentPlatform platform;
        bq::MemoryBoxList boxes;
        bq::App app(platform, boxes);
        const auto start = Clock::now();
        bq::openDocument(app, path);
        const double seconds = secondsSince(start);
        const double peak = peakResidentKiB();
        if (platform.errors != 0 || boxes.rowCount() != 4) {
            std::fprintf(stderr, "openDocument: %d rows, %d errors\n", boxes.rowCount(),
                         platform.errors);
            return 1;
        }
        std::printf(
            "openDocument: %.3f s, %.1f MiB/s of file; peak resident %.1f MiB = %.3f x "
            "codestream\n",
            seconds, layout.fileSize / 1048576.0 / seconds, peak / 1024.0,
            peak / 1024.0 / (layout.codestreamSize / 1048576.0));
    }

    const auto twoPass = [](FileStream& s, std::uint32_t size, std::vector<std::uint8_t>& out) {
        return bq::captureCodestream(s, size, out);
    };
    if (!timeCapture("capture (two passes, exact)", path, layout, twoPass, 5)) {
        return 1;
    }
    if (compare) {
        const auto allocateOnly = [&](FileStream& s, std::uint32_t,
                                      std::vector<std::uint8_t>& out) {
            out.resize(layout.codestreamSize);
            return s.seek(layout.codestreamOffset + layout.codestreamSize);
        };
#if defined(__linux__)
        // The same allocation backed by transparent huge pages where the kernel offers them.
        const auto allocateHuge = [&](FileStream& s, std::uint32_t,
                                      std::vector<std::uint8_t>& out) {
            out.reserve(layout.codestreamSize);
            const auto begin = reinterpret_cast<std::uintptr_t>(out.data());
            const std::uintptr_t huge = std::uintptr_t{2} << 20;
            const std::uintptr_t first = (begin + huge - 1) & ~(huge - 1);
            const std::uintptr_t last = (begin + layout.codestreamSize) & ~(huge - 1);
            if (last > first) {
                madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
            }
            out.resize(layout.codestreamSize);
            return s.seek(layout.codestreamOffset + layout.codestreamSize);
        };
        if (!timeCapture("allocate, huge pages advised", path, layout, allocateHuge, 3)) {
            return 1;
        }
#endif
        if (!timeCapture("allocate and zero only", path, layout, allocateOnly, 3) ||
            !timeCapture("one pass, reserved to file", path, layout, captureOnePass, 3) ||
            !timeCapture("byte-wise, file-sized copy", path, layout, captureByteWise, 1)) {
            return 1;
        }
    }
    return 0;
}
