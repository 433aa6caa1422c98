#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stream/box_header.h"
#include "stream/box_type.h"
#include "stream/byte_stream.h"
#include "stream/file_window.h"

namespace bq {

class Box;

// The enclosing association and depth while one file is read. Each read owns one context,
// so reads never share state.
struct NestingContext {
    Box* parent = nullptr;
    int depth = 0;

    void reset() {
        parent = nullptr;
        depth = 0;
    }
};

// The largest payload a box holds in memory: texts are edited as a whole, and payloads
// beyond this are either left in their file (locked kinds) or refused.
constexpr std::uint64_t kMaxHeldPayload = 0x7FFFFFFEu;
constexpr std::string_view kPayloadTooLargeMessage =
    "Couldn't read the file!\n\nA box that must be held in memory is 2 GiB or more. ";

class Box;
// Makes the box of the kind a type selects, for a payload of `payloadSize` bytes as the header
// gave it (0 for a box that runs to the end of the file, `runsToEnd`).
using BoxMaker = std::unique_ptr<Box> (*)(std::uint32_t type, std::uint64_t payloadSize,
                                          bool runsToEnd);
// The kinds this layer knows; a codestream box is then a box like any other without a kind.
std::unique_ptr<Box> makeBoxOfKind(std::uint32_t type, std::uint64_t payloadSize, bool runsToEnd);

// Everything one read of a file shares: its length, the nesting, and where its bytes come
// from, so that large payloads can be left in the file instead of held in memory.
struct ReadContext {
    std::uint64_t fileSize = 0;
    NestingContext nesting;
    // The file being read; none when the bytes come from memory, which are then always held.
    std::shared_ptr<const SourceFile> source;
    // Locked payloads longer than this stay in the source file (when there is one).
    std::uint64_t holdLimit = UINT64_MAX;
    // Why a box refused its payload, when the reason deserves its own message.
    std::string_view refusal;
    BoxMaker make = makeBoxOfKind;
};

// The file type a payload is exported as or imported from: "XML" and ".xml", and so on.
struct FileKind {
    const char* typeName;
    const char* extension;
};

// One box of the document. The base behaviour is that of a box type without a kind of its
// own: locked, shown with an empty text and written back byte for byte.
class Box {
  public:
    Box(std::uint64_t payloadSize, std::uint32_t type) : payloadSize(payloadSize), type(type) {}
    Box& operator=(const Box&) = delete;
    virtual ~Box() = default;

    // A copy of the box for the undo history. `parent` still names the original's parent, for
    // the caller to point at the copy of it. Payloads left in a file or in a large buffer are
    // shared, never copied.
    virtual std::unique_ptr<Box> clone() const = 0;
    // About what a clone costs in memory beyond the box itself.
    virtual std::uint64_t cloneCost() const { return data.capacity(); }

    virtual bool isLocked() const { return true; }
    virtual bool isEditable() const { return false; }
    virtual bool canImport() const { return !isLocked(); }
    virtual FileKind fileKind() const { return {"Data", ".dat"}; }
    virtual std::string description() const;
    // What the content pane shows.
    virtual std::string text() const;
    // Makes room for a text of n characters and sets the payload size to n.
    virtual void reserveText(std::uint32_t /*n*/) {}
    virtual void setText(std::string_view /*text*/) {}
    // Called once, right after the header, with the stream just behind it.
    virtual bool readPayload(ByteStream& stream, ReadContext& context);
    // Replaces the payload from an external file of `fileSize` bytes.
    virtual bool importPayload(ByteStream& stream, std::uint32_t fileSize);
    // Replaces the payload with bytes left in a file (a large input spooled to a temporary
    // file) instead of memory. False for the kinds that hold their payload whole.
    virtual bool importWindow(FileWindow /*payload*/) { return false; }
    // The whole box when `withHeader` (saving), else the payload alone (export). Returns
    // false only when the box cannot be written at all (never for a well-formed box).
    virtual bool writeBox(ByteStream& stream, bool withHeader) const;

    // The number of bytes writeBox with the header puts in a file.
    virtual std::uint64_t writtenSize() const { return headerSize() + payloadSize; }
    // The length of the header writeBox puts before a payload of the current size.
    std::uint64_t headerSize() const;
    // Points a payload left in its source file at the same bytes in another file (the one a
    // save just wrote, where they start at `offset`).
    virtual void moveWindow(std::shared_ptr<const SourceFile> source, std::uint64_t offset);

    bool hasData() const { return !data.empty(); }

    std::uint64_t payloadSize;  // header excluded
    std::uint32_t type;
    int depth = 0;
    std::uint64_t endPosition = 0;  // an association's content end, while a file is read
    Box* parent = nullptr;          // the enclosing association; not owned
    HeaderForm headerForm = HeaderForm::Plain;
    // Where the box's header started in the file it was read from; none for a box the
    // editor added.
    std::optional<std::uint64_t> fileOffset;
    // The payload and a NUL behind it; empty when nothing was read or imported.
    std::vector<std::uint8_t> data;
    // A locked payload left in the file it was read from, instead of `data`.
    std::optional<FileWindow> window;

  protected:
    // Only clone copies a box: a copy through a base reference would lose its kind.
    Box(const Box&) = default;

    // The header for a payload of `payload` bytes, in this box's header form (extended when
    // the length needs more than 32 bits).
    void writeHeader(ByteStream& stream, std::uint64_t payload) const;
    // The payload bytes as saved and exported: from the source file for a window, else from
    // `data`. False when the window's file can no longer be copied from.
    virtual bool writePayload(ByteStream& stream) const;
    // Leaves a locked payload in the source file when the context allows it: true when the
    // payload is now a window and the stream stands behind it.
    bool leaveInSource(ByteStream& stream, ReadContext& context);
    // Makes the next `length` bytes (fewer when the file ends first) a window onto the source
    // and moves the stream behind them; false, with the stream where it was, when it cannot.
    bool windowOnSource(ByteStream& stream, const ReadContext& context, std::uint64_t length);
    // Makes `data` payloadSize + 1 zeroed bytes and reads payloadSize bytes into it; bytes
    // the stream cannot supply stay zero. False when the memory cannot be had.
    bool readDataBytes(ByteStream& stream);
    // Writes `count` payload bytes from `data` starting at `offset`, zeros for any that
    // `data` does not hold, so a box never reads past its buffer and keeps its stated length.
    void writePaddedBytes(ByteStream& stream, std::size_t offset, std::uint64_t count) const;
};

// A box type without a kind of its own.
class GenericBox final : public Box {
  public:
    using Box::Box;

    std::unique_ptr<Box> clone() const override { return std::make_unique<GenericBox>(*this); }
};

// Indentation stops growing past this depth: a crafted file of nothing but nested
// associations would otherwise make every row's texts grow with it, quadratic in memory.
constexpr int kMaxShownDepth = 200;

// The ID column text: "|  " per level of depth (at most kMaxShownDepth levels), then the four
// characters of `value` (the box's type when none is given), upper-cased.
std::string idText(const Box& box, std::optional<std::uint32_t> value = std::nullopt);
// The bytes up to the first NUL (or all of them when there is none).
std::string nulTerminatedText(const std::vector<std::uint8_t>& bytes);
// The four characters of a type, upper-cased, without indentation.
std::string upperTypeText(std::uint32_t value);
// Three blanks per level of depth (at most kMaxShownDepth levels) and the type's name, as the
// Description column shows it.
std::string baseDescription(const Box& box);

}  // namespace bq
