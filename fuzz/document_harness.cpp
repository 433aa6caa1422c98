#include "fuzz/document_harness.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <system_error>

#include "box/signature.h"
#include "stream/box_type.h"
#include "stream/memory_stream.h"
#include "ui/open_document.h"
#include "ui/save_document.h"

namespace bq::harness {

bool QuietPlatform::askYesNo(std::string_view /*caption*/, std::string_view /*text*/) {
    return true;
}

void QuietPlatform::showErrorBox(std::string_view /*caption*/, std::string_view text) {
    errors.emplace_back(text);
}

std::optional<std::string> QuietPlatform::chooseOpenFile(const FileDialogRequest& /*request*/) {
    return openAnswer;
}

std::optional<std::string> QuietPlatform::chooseSaveFile(const FileDialogRequest& /*request*/) {
    return saveAnswer;
}

void QuietPlatform::setControlText(int id, std::string_view text) {
    texts[id] = std::string(text);
}

std::string QuietPlatform::controlText(int id) {
    const auto found = texts.find(id);
    return found == texts.end() ? std::string() : found->second;
}

bool QuietPlatform::isControlEnabled(int id) {
    const auto found = enabled.find(id);
    return found != enabled.end() && found->second;
}

std::optional<std::vector<RowSnapshot>> snapshotRows(const BoxList& boxes, std::string& problem) {
    std::vector<RowSnapshot> rows;
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            problem = "row " + std::to_string(row) + " has no box";
            return std::nullopt;
        }
        RowSnapshot snap;
        snap.id = boxes.cellText(row, 0);
        snap.description = boxes.cellText(row, 1);
        snap.size = boxes.cellText(row, 2);
        snap.type = box->type;
        snap.depth = box->depth;
        snap.labelEndsInNul = box->type == kTypeLbl && box->payloadSize != 0 &&
                              box->payloadSize <= box->data.size() &&
                              box->data[box->payloadSize - 1] == 0;
        // An association writes its header alone; its children are the rows behind it.
        const std::uint64_t size =
            box->type == kTypeAsoc ? std::uint64_t{kBoxHeaderSize} : box->writtenSize();
        if (size > 0xFFFFFFFFu) {
            problem = "row " + std::to_string(row) + " announces more than 4 GiB";
            return std::nullopt;
        }
        // One spare byte shows a box that writes more than it announces.
        snap.written.assign(static_cast<std::size_t>(size) + 1, 0);
        MemoryStream stream;
        stream.attach(snap.written.data(), static_cast<std::uint32_t>(snap.written.size()));
        const bool ok = box->writeBox(stream, true);
        if (!ok || !stream.good() || stream.tell() != size) {
            problem = "row " + std::to_string(row) + " (" + snap.id + ") announces " +
                      std::to_string(size) + " bytes but writes " + std::to_string(stream.tell()) +
                      (ok ? "" : " and fails");
            return std::nullopt;
        }
        snap.written.pop_back();
        rows.push_back(std::move(snap));
    }
    return rows;
}

void exerciseDisplay(const BoxList& boxes) {
    for (int row = 0; row < boxes.rowCount(); ++row) {
        const Box* box = boxes.boxAt(row);
        if (box == nullptr) {
            continue;
        }
        // The results go nowhere; the sanitizers watch how they are built.
        volatile std::size_t sink = 0;
        sink = sink + box->text().size() + box->description().size() + idText(*box).size();
        const FileKind kind = box->fileKind();
        sink =
            sink + std::string_view(kind.typeName).size() + std::string_view(kind.extension).size();
        sink = sink + static_cast<std::size_t>(box->isLocked()) +
               static_cast<std::size_t>(box->isEditable()) +
               static_cast<std::size_t>(box->canImport());
    }
}

namespace {

std::uint32_t lengthField(const std::vector<std::uint8_t>& written) {
    if (written.size() < 4) {
        return 0;
    }
    return std::uint32_t{written[0]} << 24 | std::uint32_t{written[1]} << 16 |
           std::uint32_t{written[2]} << 8 | std::uint32_t{written[3]};
}

// The rows as the next open must show them: labels lose one trailing NUL, and every
// association shrinks by the NULs lost inside it.
std::vector<RowSnapshot> expectAfterReopen(const std::vector<RowSnapshot>& before) {
    std::vector<RowSnapshot> expected = before;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        RowSnapshot& row = expected[i];
        std::uint32_t lost = 0;
        if (row.labelEndsInNul) {
            lost = 1;
            row.written.pop_back();
        } else if (row.type == kTypeAsoc) {
            for (std::size_t j = i + 1; j < before.size() && before[j].depth > row.depth; ++j) {
                lost += before[j].labelEndsInNul ? 1u : 0u;
            }
        }
        if (lost == 0 || row.written.size() < 8) {
            continue;
        }
        row.size = std::to_string(std::stoul(row.size) - lost);
        // The header shrinks in the form it was read in: a box running to the end of the
        // file keeps length 0, one with an extended length has that one shortened.
        const std::uint32_t field = lengthField(row.written);
        if (field == 1 && row.written.size() >= 16) {
            std::uint64_t length = 0;
            for (std::size_t b = 8; b < 16; ++b) {
                length = length << 8 | row.written[b];
            }
            length -= lost;
            for (std::size_t b = 8; b < 16; ++b) {
                row.written[b] = static_cast<std::uint8_t>(length >> (8 * (15 - b)));
            }
        } else if (field != 0) {
            const std::uint32_t length = field - lost;
            for (std::size_t b = 0; b < 4; ++b) {
                row.written[b] = static_cast<std::uint8_t>(length >> (24 - 8 * b));
            }
        }
    }
    return expected;
}

std::string hexAround(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) {
        ++at;
    }
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size()) +
           ", first difference at byte " + std::to_string(at);
}

}  // namespace

std::optional<std::string> compareReopened(const std::vector<RowSnapshot>& before,
                                           const std::vector<RowSnapshot>& after) {
    const std::vector<RowSnapshot> expected = expectAfterReopen(before);
    if (expected.size() != after.size()) {
        return "row count " + std::to_string(before.size()) + " became " +
               std::to_string(after.size());
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const RowSnapshot& want = expected[i];
        const RowSnapshot& got = after[i];
        const std::string where = "row " + std::to_string(i) + " (" + want.id + "): ";
        if (want.id != got.id || want.description != got.description) {
            return where + "texts \"" + want.id + "\"/\"" + want.description + "\" became \"" +
                   got.id + "\"/\"" + got.description + "\"";
        }
        if (want.type != got.type || want.depth != got.depth) {
            return where + "type or depth changed";
        }
        if (want.size != got.size) {
            return where + "size " + want.size + " became " + got.size;
        }
        if (want.written != got.written) {
            return where + "written bytes differ: " + hexAround(want.written, got.written);
        }
    }
    return std::nullopt;
}

std::vector<std::uint8_t> expectedFile(const std::vector<RowSnapshot>& rows) {
    std::vector<std::uint8_t> file(12, 0);
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    writeSignature(stream);
    for (const RowSnapshot& row : rows) {
        file.insert(file.end(), row.written.begin(), row.written.end());
    }
    return file;
}

std::optional<std::vector<std::uint8_t>> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool writeWholeFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         &std::fclose);
    if (!file) {
        return false;
    }
    if (size != 0 && std::fwrite(data, 1, size, file.get()) != size) {
        return false;
    }
    return std::fflush(file.get()) == 0;
}

TempFolder::TempFolder(std::string_view prefix) {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

RoundTrip roundTrip(const std::string& input, const std::string& savedPath) {
    RoundTrip result;
    Document first;
    openDocument(first.app, input);
    if (!first.platform.errors.empty()) {
        result.openError = first.platform.errors.front();
        if (first.boxes.rowCount() != 0) {
            result.difference = "a failed open left rows behind";
        }
        return result;
    }
    result.opened = true;
    result.rows = static_cast<std::size_t>(first.boxes.rowCount());

    // A save starts from a modified document (Save is enabled only then).
    first.app.markModified();
    first.platform.saveAnswer = savedPath;
    saveDocument(first.app);
    if (!first.platform.errors.empty()) {
        result.difference = "the save failed: " + first.platform.errors.front();
        return result;
    }
    if (first.app.modified()) {
        result.difference = "a successful save left the document modified";
        return result;
    }
    std::string problem;
    const auto before = snapshotRows(first.boxes, problem);
    if (!before) {
        result.difference = "before: " + problem;
        return result;
    }
    const auto saved = readWholeFile(savedPath);
    if (!saved) {
        result.difference = "the saved file cannot be read back";
        return result;
    }
    if (*saved != expectedFile(*before)) {
        result.difference = "the saved file is not the boxes as written: " +
                            hexAround(expectedFile(*before), *saved);
        return result;
    }

    Document second;
    openDocument(second.app, savedPath);
    if (!second.platform.errors.empty()) {
        result.difference = "the saved file does not open: " + second.platform.errors.front();
        return result;
    }
    refreshAssociationSizes(second.boxes);
    const auto after = snapshotRows(second.boxes, problem);
    if (!after) {
        result.difference = "after: " + problem;
        return result;
    }
    result.difference = compareReopened(*before, *after);
    return result;
}

namespace {

using Bytes = std::vector<std::uint8_t>;

void appendU32(Bytes& b, std::size_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        b.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

Bytes box(std::string_view type, std::string_view payload) {
    Bytes b;
    appendU32(b, payload.size() + 8);
    b.insert(b.end(), type.begin(), type.end());
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

std::string boxText(std::string_view type, std::string_view payload) {
    const Bytes b = box(type, payload);
    return std::string(b.begin(), b.end());
}

// Signature, file type and a JP2 header of 1 x 1 pixels, then `boxes`.
Bytes jp2With(std::string_view boxes) {
    std::string ihdr(14, '\0');
    ihdr[3] = 1, ihdr[7] = 1, ihdr[9] = 1, ihdr[10] = 7, ihdr[11] = 7;
    const std::string file = boxText("jP  ", "\x0D\x0A\x87\x0A") +
                             boxText("ftyp", std::string("jp2 \0\0\0\0jp2 ", 12)) +
                             boxText("jp2h", boxText("ihdr", ihdr)) + std::string(boxes);
    return Bytes(file.begin(), file.end());
}

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> craftedXmlInputs() {
    constexpr std::size_t n = 100000;
    const std::string deep = repeat("<a>", n) + repeat("</a>", n);
    const std::string bypass = "<!--RectifiedGrid" + repeat("</a>", n) + "-->" + deep;
    const std::string xmpUuid = "\xBE\x7A\xCF\xCB\x97\xA9\x42\xE8\x9C\x71\x99\x94\x91\xE3\xAF\xAC";
    const std::string gmlSet = boxText(
        "asoc", boxText("lbl ", "gml.data") + boxText("asoc", boxText("lbl ", "gml.root-instance") +
                                                                  boxText("xml ", bypass)));
    return {
        {"crafted-deep.xml", Bytes(deep.begin(), deep.end())},
        {"crafted-gml-comment-bypass.xml", Bytes(bypass.begin(), bypass.end())},
        {"crafted-deep-xmp.jp2", jp2With(boxText("uuid", xmpUuid + deep))},
        {"crafted-deep-xml-box.jp2", jp2With(boxText("xml ", bypass))},
        {"crafted-gml-comment-bypass.jp2", jp2With(gmlSet)},
    };
}

}  // namespace bq::harness
