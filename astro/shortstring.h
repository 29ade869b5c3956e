// A length-prefixed text of at most N bytes held inline, for records that
// are copied byte for byte (trivially copyable, no heap). The bytes are
// UTF-8; assignment cuts at a character boundary.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

template <int N>
struct TShortString {
  static_assert(N >= 1 && N <= 255);
  uint8_t Length = 0;
  char Chars[N] = {};

  // The text.
  std::string str() const { return std::string(Chars, Length <= N ? Length : N); }
  std::string_view view() const { return std::string_view(Chars, Length <= N ? Length : N); }
  // Stores `text`, cut to at most N bytes without splitting a UTF-8
  // character; the rest of the field is zeroed.
  void assign(std::string_view text) {
    std::size_t n = text.size() < std::size_t(N) ? text.size() : std::size_t(N);
    // Back off continuation bytes (10xxxxxx) so that no character is split.
    if (n < text.size())
      while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memset(Chars, 0, N);
    std::memcpy(Chars, text.data(), n);
    Length = uint8_t(n);
  }
  TShortString& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  bool operator==(std::string_view text) const { return view() == text; }
};
