// The byte layout shared by the fuzz targets and the programs that write their seeds:
// little-endian numbers and length-prefixed texts read from the front of the input. A
// reader that runs out of bytes answers zeros and empty texts, so every input is a valid
// one and the fuzzer never wastes runs on framing.
//
//   fuzz::Input in(data, size);               // fuzz::Output out;
//   std::string line = in.text16();           // out.text16("-b Alice");
//   std::string rest = in.rest();             // out.raw(rest);
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zov::fuzz {

[[noreturn]] inline void fail() {
    __builtin_trap();
}

inline void check(bool condition) {
    if (!condition)
        fail();
}

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::uint8_t u8() { return empty() ? 0 : data_[at_++]; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | (u8() << 8)); }
    std::uint32_t u32() {
        return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16);
    }
    // Up to n bytes, fewer at the end of the input.
    std::string bytes(std::size_t n) {
        n = std::min(n, size_ - std::min(at_, size_));
        std::string out(reinterpret_cast<const char*>(data_) + at_, n);
        at_ += n;
        return out;
    }
    std::string text8() { return bytes(u8()); }
    std::string text16() { return bytes(u16()); }
    std::string rest() { return bytes(size_); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class Output {
  public:
    Output& u8(std::uint8_t v) {
        bytes_ += static_cast<char>(v);
        return *this;
    }
    Output& u16(std::uint16_t v) {
        return u8(static_cast<std::uint8_t>(v & 0xFF)).u8(static_cast<std::uint8_t>(v >> 8));
    }
    Output& u32(std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v & 0xFFFF)).u16(static_cast<std::uint16_t>(v >> 16));
    }
    Output& raw(const std::string& s) {
        bytes_ += s;
        return *this;
    }
    Output& text8(const std::string& s) {
        return u8(static_cast<std::uint8_t>(s.size())).raw(s.substr(0, 0xFF));
    }
    Output& text16(const std::string& s) {
        return u16(static_cast<std::uint16_t>(s.size())).raw(s.substr(0, 0xFFFF));
    }
    const std::string& str() const { return bytes_; }

  private:
    std::string bytes_;
};

} // namespace zov::fuzz
