#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "box/box.h"
#include "box/read_box.h"
#include "box/signature.h"
#include "stream/memory_stream.h"

namespace bq::test {

// Builds file bytes inline: big-endian integers, text and whole boxes.
class Bytes {
  public:
    Bytes& u8(std::uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Bytes& u32(std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
        }
        return *this;
    }
    Bytes& raw(std::initializer_list<std::uint8_t> values) {
        bytes_.insert(bytes_.end(), values);
        return *this;
    }
    Bytes& raw(const std::vector<std::uint8_t>& values) {
        bytes_.insert(bytes_.end(), values.begin(), values.end());
        return *this;
    }
    Bytes& text(std::string_view s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& signature() { return u32(12).u32(kTypeSignature).u32(kSignatureContent); }
    // A header whose length counts the header and `payloadSize` bytes.
    Bytes& header(std::uint32_t type, std::uint32_t payloadSize) {
        return u32(payloadSize + 8).u32(type);
    }
    Bytes& box(std::uint32_t type, std::string_view payload) {
        return header(type, static_cast<std::uint32_t>(payload.size())).text(payload);
    }
    Bytes& box(std::uint32_t type, const std::vector<std::uint8_t>& payload) {
        return header(type, static_cast<std::uint32_t>(payload.size())).raw(payload);
    }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    const std::vector<std::uint8_t>& get() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// A stream that keeps everything written to it, for comparing written boxes with files.
class VectorSink final : public ByteStream {
  public:
    int kind() const override { return 0; }
    bool good() const override { return true; }
    bool isOpen() const override { return true; }
    bool atEnd() const override { return false; }
    void readU8(std::uint8_t& /*out*/) override {}
    void readU16(std::uint16_t& /*out*/) override {}
    void readU32(std::uint32_t& /*out*/) override {}
    void writeU8(std::uint8_t value) override { bytes.push_back(value); }
    void writeU16(std::uint16_t value) override {
        writeU8(static_cast<std::uint8_t>(value >> 8));
        writeU8(static_cast<std::uint8_t>(value));
    }
    void writeU32(std::uint32_t value) override {
        writeU16(static_cast<std::uint16_t>(value >> 16));
        writeU16(static_cast<std::uint16_t>(value));
    }
    void readBytes(std::uint8_t* /*destination*/, std::uint32_t /*count*/) override {}
    void writeBytes(const std::uint8_t* source, std::uint32_t count) override {
        bytes.insert(bytes.end(), source, source + count);
    }
    std::uint64_t tell() const override { return bytes.size(); }
    bool seek(std::uint64_t /*position*/) override { return false; }
    void close() override {}

    std::vector<std::uint8_t> bytes;
};

// Every box readBox gives for a file, read the way a document is opened: the signature first,
// then boxes until none comes.
struct ReadResult {
    std::vector<std::unique_ptr<Box>> boxes;
    ReadContext context;
    bool atEnd = false;
    std::uint64_t tell = 0;
};

inline ReadResult readFile(const std::vector<std::uint8_t>& file) {
    ReadResult result;
    MemoryStream stream;
    stream.attach(file.data(), static_cast<std::uint32_t>(file.size()));
    if (testSignature(stream) != SignatureResult::Ok) {
        return result;
    }
    result.context.fileSize = file.size();
    while (auto box = readBox(stream, result.context)) {
        result.boxes.push_back(std::move(box));
    }
    result.atEnd = stream.atEnd();
    result.tell = stream.tell();
    return result;
}

// What writeBox puts on a stream; a stream too small for it would show as a short result.
inline std::vector<std::uint8_t> written(const Box& box, bool withHeader, bool* result = nullptr) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(box.payloadSize) + 64, 0xEE);
    MemoryStream stream;
    stream.attach(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    const bool ok = box.writeBox(stream, withHeader);
    if (result != nullptr) {
        *result = ok;
    }
    buffer.resize(static_cast<std::size_t>(stream.tell()));
    return buffer;
}

inline std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                       std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

}  // namespace bq::test
