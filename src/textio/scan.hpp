// Finding one byte value in a run of bytes: the line feeds of the input and
// its 0x1A end mark. Two ways with one meaning: sixteen bytes at a time where
// SSE2 is sure to be there, and the C library's memchr everywhere else. Both
// stay compiled where they can, so tests can hold one against the other.
#pragma once

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorezoru::textio::scan {

// Bytes a wide scan may load past `end`. Buffers handed to find() must have
// this many readable bytes after their last one; what they hold is ignored.
inline constexpr std::size_t kSlack = 16;

namespace plain {

inline const char* find(const char* p, const char* end, char byte) {
  const void* hit = std::memchr(p, byte, static_cast<std::size_t>(end - p));
  return hit != nullptr ? static_cast<const char*>(hit) : end;
}

}  // namespace plain

#if defined(__SSE2__)
namespace sse2 {

// Unaligned loads of sixteen bytes; the last may reach into the slack, whose
// bytes are masked off.
inline const char* find(const char* p, const char* end, char byte) {
  const __m128i wanted = _mm_set1_epi8(byte);
  for (; p < end; p += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned mask =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)));
    if (mask != 0) {
      const char* hit = p + __builtin_ctz(mask);
      return hit < end ? hit : end;
    }
  }
  return end;
}

}  // namespace sse2
#endif

// The first `byte` in [p, end), or end when there is none.
inline const char* find(const char* p, const char* end, char byte) {
#if defined(__SSE2__) && !defined(ZOREZORU_PLAIN_SCAN)
  return sse2::find(p, end, byte);
#else
  return plain::find(p, end, byte);
#endif
}

}  // namespace zorezoru::textio::scan
