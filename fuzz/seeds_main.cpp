// Writes starting inputs for the fuzzers: small documents built here with every kind of box,
// and the codestreams found inside the real files, which the codestream target needs bare.
//
// fuzz_seeds OUT_DIR [CORPUS_DIR]

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fuzz/document_harness.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void u8(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
}
void u16(Bytes& b, unsigned v) {
    u8(b, v >> 8);
    u8(b, v & 0xFF);
}
void u32(Bytes& b, std::uint32_t v) {
    u16(b, v >> 16);
    u16(b, v & 0xFFFF);
}
void text(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}

Bytes box(std::string_view type, const Bytes& payload) {
    Bytes b;
    u32(b, static_cast<std::uint32_t>(payload.size() + 8));
    text(b, type);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes textBytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes signature() {
    Bytes b;
    u32(b, 12);
    text(b, "jP  ");
    u32(b, 0x0D0A870A);
    return b;
}

// A codestream of 2 x 2 tiles, one tile-part each, the last with Psot 0 when asked.
Bytes codestream(bool lastPsotZero) {
    Bytes c;
    u16(c, 0xFF4F);
    u16(c, 0xFF51);
    u16(c, 38 + 3);
    u16(c, 0);
    for (std::uint32_t v : {1000u, 1000u, 0u, 0u, 512u, 512u, 0u, 0u}) {
        u32(c, v);
    }
    u16(c, 1);
    u8(c, 7), u8(c, 1), u8(c, 1);
    u16(c, 0xFF52), u16(c, 12), u8(c, 0), u8(c, 0), u16(c, 1), u8(c, 0);
    u8(c, 5), u8(c, 4), u8(c, 4), u8(c, 0), u8(c, 1);
    u16(c, 0xFF5C), u16(c, 4), u8(c, 0x40), u8(c, 0x48);
    u16(c, 0xFF64), u16(c, 6), u16(c, 1), text(c, "hi");
    for (unsigned tile = 0; tile < 4; ++tile) {
        const bool psotZero = lastPsotZero && tile == 3;
        u16(c, 0xFF90), u16(c, 10), u16(c, tile);
        u32(c, psotZero ? 0 : 12 + 2 + 3);
        u8(c, 0), u8(c, 1);
        u16(c, 0xFF93);
        u8(c, 0x80), u8(c, 0x11), u8(c, 0x22);
    }
    u16(c, 0xFFD9);
    return c;
}

Bytes fileType(std::string_view brand, std::initializer_list<std::string_view> compat,
               std::size_t oddBytes) {
    Bytes p;
    text(p, brand);
    u32(p, 0);
    for (std::string_view entry : compat) {
        text(p, entry);
    }
    p.insert(p.end(), oddBytes, 0x20);
    return box("ftyp", p);
}

const Bytes kGeoTiffUuid = {0xB1, 0x4B, 0xF8, 0xBD, 0x08, 0x3D, 0x4B, 0x43,
                            0xA5, 0xAE, 0x8C, 0xD7, 0xD5, 0xA6, 0xCE, 0x03};

std::vector<std::pair<std::string, Bytes>> builtDocuments() {
    const Bytes header = box("jp2h", box("ihdr", Bytes(14, 1)));
    const Bytes gml =
        box("asoc",
            join({box("lbl ", textBytes(std::string("gml.data\0", 9))),
                  box("asoc", join({box("lbl ", textBytes(std::string("gml.root-instance\0", 18))),
                                    box("xml ", textBytes("<a>\r\nb\nc\rd</a>"))}))}));
    const Bytes geotiff = box("uuid", join({kGeoTiffUuid, textBytes("II*\0tiff")}));
    return {
        {"signature-only.jp2", signature()},
        {"gml-geotiff.jp2", join({signature(), fileType("jp2 ", {"jp2 "}, 0), header, geotiff, gml,
                                  box("uuid", textBytes("short")), box("uuid", {}),
                                  box("xml ", textBytes(std::string("x\0y", 3))),
                                  box("jp2c", codestream(false)), box("free", textBytes("tail"))})},
        {"psot-zero-length-zero.jp2",
         [&] {
             Bytes b = join({signature(), fileType("jpx ", {"jpx ", "jp2 ", "jpxb"}, 2), header});
             u32(b, 0);
             text(b, "jp2c");
             const Bytes c = codestream(true);
             b.insert(b.end(), c.begin(), c.end());
             return b;
         }()},
        {"deep-asoc.jp2",
         join({signature(), fileType("jp2 ", {}, 0),
               box("asoc",
                   box("asoc", box("asoc", join({box("lbl ", textBytes("x")), box("asoc", {})})))),
               box("lbl ", textBytes(std::string("two\0\0", 5)))})},
        {"raw-codestream.j2k", codestream(false)},
    };
}

// The bytes behind the first 'jp2c' type of a file: what the codestream box captures from.
bool extractCodestream(const Bytes& file, Bytes& out) {
    for (std::size_t i = 4; i + 4 <= file.size(); ++i) {
        if (file[i] == 'j' && file[i + 1] == 'p' && file[i + 2] == '2' && file[i + 3] == 'c') {
            out.assign(file.begin() + static_cast<std::ptrdiff_t>(i + 4), file.end());
            return !out.empty();
        }
    }
    return false;
}

bool save(const fs::path& path, const Bytes& bytes) {
    if (!bq::harness::writeWholeFile(path, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR [CORPUS_DIR]\n");
        return 2;
    }
    const fs::path out = argv[1];
    std::error_code error;
    fs::create_directories(out / "documents", error);
    fs::create_directories(out / "codestreams", error);
    int written = 0;
    for (const auto& [name, bytes] : builtDocuments()) {
        if (!save(out / "documents" / name, bytes)) {
            return 1;
        }
        ++written;
        Bytes cs;
        if (extractCodestream(bytes, cs) && save(out / "codestreams" / name, cs)) {
            ++written;
        }
    }
    if (!save(out / "codestreams" / "psot-zero.j2k", codestream(true))) {
        return 1;
    }
    // Every target meets the inputs that once crashed the XML readers.
    for (const auto& [name, bytes] : bq::harness::craftedXmlInputs()) {
        if (!save(out / "documents" / name, bytes) || !save(out / "codestreams" / name, bytes)) {
            return 1;
        }
        written += 2;
    }
    if (argc > 2 && fs::is_directory(argv[2], error)) {
        int index = 0;
        for (const auto& entry : fs::recursive_directory_iterator(argv[2], error)) {
            if (!entry.is_regular_file(error)) {
                continue;
            }
            const auto bytes = bq::harness::readWholeFile(entry.path());
            Bytes cs;
            if (bytes && extractCodestream(*bytes, cs)) {
                save(out / "codestreams" / ("corpus-" + std::to_string(index++)), cs);
                ++written;
            }
        }
    }
    std::printf("wrote %d seed(s) to %s\n", written, out.c_str());
    return 0;
}
