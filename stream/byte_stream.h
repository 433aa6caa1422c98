#pragma once

#include <cstdint>
#include <cstdio>

namespace bq {

// Big-endian byte stream over a file or a memory buffer. Operations never report errors
// through their results (except seek); callers ask good() and atEnd() afterwards.
class ByteStream {
  public:
    ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;
    virtual ~ByteStream() = default;

    virtual int kind() const = 0;
    virtual bool good() const = 0;
    virtual bool isOpen() const = 0;
    virtual bool atEnd() const = 0;
    virtual void readU8(std::uint8_t& out) = 0;
    virtual void readU16(std::uint16_t& out) = 0;
    virtual void readU32(std::uint32_t& out) = 0;
    virtual void writeU8(std::uint8_t value) = 0;
    virtual void writeU16(std::uint16_t value) = 0;
    virtual void writeU32(std::uint32_t value) = 0;
    virtual void readBytes(std::uint8_t* destination, std::uint32_t count) = 0;
    virtual void writeBytes(const std::uint8_t* source, std::uint32_t count) = 0;
    virtual std::uint64_t tell() const = 0;
    virtual bool seek(std::uint64_t position) = 0;
    virtual void close() = 0;

    // Reads `count` bytes from the source's position and writes them here, in bounded blocks.
    // False when the source runs short or either side reports trouble.
    virtual bool copyFrom(ByteStream& source, std::uint64_t count);
    // The C file behind the stream, for copies the system can do without passing the bytes
    // through user memory; none for streams that are not files.
    virtual std::FILE* nativeFile() const { return nullptr; }
    // The descriptor behind the stream (a C runtime one on Windows), for the same copies;
    // -1 for streams that are not files.
    virtual int nativeDescriptor() const { return -1; }
};

constexpr int kFileStreamKind = 2;
constexpr int kMemoryStreamKind = 4;

// Reverses the bytes of a value: the conversion from big-endian that both streams run on
// their destination, even after a failed read.
constexpr std::uint16_t byteSwap16(std::uint16_t v) {
    return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
constexpr std::uint32_t byteSwap32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

}  // namespace bq
