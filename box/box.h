#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "box/box_type.h"
#include "stream/byte_stream.h"

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

// The file type a payload is exported as or imported from: "XML" and ".xml", and so on.
struct FileKind {
    const char* typeName;
    const char* extension;
};

// One box of the document. The base behaviour is that of a box type without a kind of its
// own: locked, shown with an empty text and written back byte for byte.
class Box {
  public:
    Box(std::uint32_t payloadSize, std::uint32_t type) : payloadSize(payloadSize), type(type) {}
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;
    virtual ~Box() = default;

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
    virtual bool readPayload(ByteStream& stream, std::uint32_t fileSize, NestingContext& nesting);
    // Replaces the payload from an external file of `fileSize` bytes.
    virtual bool importPayload(ByteStream& stream, std::uint32_t fileSize);
    // The whole box when `withHeader` (saving), else the payload alone (export). Returns
    // false only when the box cannot be written at all (never for a well-formed box).
    virtual bool writeBox(ByteStream& stream, bool withHeader) const;

    // The number of bytes writeBox with the header puts in a file.
    virtual std::uint64_t writtenSize() const { return std::uint64_t{payloadSize} + 8; }

    bool hasData() const { return !data.empty(); }

    std::uint32_t payloadSize;  // header excluded
    std::uint32_t type;
    int depth = 0;
    std::uint32_t endPosition = 0;  // an association's content end, while a file is read
    Box* parent = nullptr;          // the enclosing association; not owned
    // The payload and a NUL behind it; empty when nothing was read or imported.
    std::vector<std::uint8_t> data;

  protected:
    // Makes `data` payloadSize + 1 zeroed bytes and reads payloadSize bytes into it; bytes
    // the stream cannot supply stay zero. False when the memory cannot be had.
    bool readDataBytes(ByteStream& stream);
    // Writes `count` payload bytes from `data` starting at `offset`, zeros for any that
    // `data` does not hold, so a box never reads past its buffer and keeps its stated length.
    void writePaddedBytes(ByteStream& stream, std::size_t offset, std::uint32_t count) const;
};

// A box type without a kind of its own.
class GenericBox final : public Box {
  public:
    using Box::Box;
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
