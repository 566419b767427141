// Reversing the bytes of a word, for dumps whose byte order is the other one:
// the standard library's std::byteswap where the library has it (C++23),
// else shifts that compilers turn into the same one instruction.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <version>

template <std::unsigned_integral Word>
constexpr Word byteswap(Word word) {
#if defined(__cpp_lib_byteswap)
  return std::byteswap(word);
#else
  Word swapped = 0;
  for (std::size_t i = 0; i < sizeof word; ++i, word >>= 8) swapped = static_cast<Word>(swapped << 8 | (word & 0xFF));
  return swapped;
#endif
}

static_assert(byteswap(std::uint32_t{0x40490FDB}) == 0xDB0F4940);
