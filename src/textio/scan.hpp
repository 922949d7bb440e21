// Finding one byte value in a run of bytes: the line feeds of the input and
// its 0x1A end mark. Two ways with one meaning: sixteen bytes at a time where
// SSE2 is sure to be there, and the C library's memchr everywhere else. Both
// stay compiled where they can, so tests can hold one against the other.
//
// find() gives the first hit; a Finder gives every hit in turn. The SSE2
// Finder keeps a bit mask of the hits in sixteen bytes, so that the next hit
// is a bit scan away rather than a new search: with short lines, a search
// per line would chain each line's start to the last one's end.
#pragma once

#include <cstddef>
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

struct Finder {
  const char* next;
  const char* end;
  char byte;
};

inline Finder finder(const char* p, const char* end, char byte) { return {p, end, byte}; }

// The next hit, or nullptr when there is none left.
inline const char* next(Finder& f) {
  const char* hit = find(f.next, f.end, f.byte);
  if (hit == f.end) return nullptr;
  f.next = hit + 1;
  return hit;
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

struct Finder {
  const char* window;  // sixteen bytes whose hits are in `mask`
  const char* end;
  unsigned mask;       // hits in the window not yet handed out
  __m128i wanted;
};

// The hits among the sixteen bytes at `window`, none at or past `end`.
inline unsigned hits(const char* window, const char* end, __m128i wanted) {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window));
  unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted)));
  const std::ptrdiff_t left = end - window;
  if (left < 16) mask &= (1u << left) - 1;
  return mask;
}

inline Finder finder(const char* p, const char* end, char byte) {
  const __m128i wanted = _mm_set1_epi8(byte);
  return {p, end, p < end ? hits(p, end, wanted) : 0u, wanted};
}

inline const char* next(Finder& f) {
  while (f.mask == 0) {
    f.window += 16;
    if (f.window >= f.end) {
      f.window = f.end;
      return nullptr;
    }
    f.mask = hits(f.window, f.end, f.wanted);
  }
  const char* hit = f.window + __builtin_ctz(f.mask);
  f.mask &= f.mask - 1;
  return hit;
}

}  // namespace sse2
#endif

// The way this build takes: find() is the first `byte` in [p, end), or
// end; next(finder(p, end, byte)) gives each one in turn, then nullptr.
#if defined(__SSE2__) && !defined(ZOREZORU_PLAIN_SCAN)
using sse2::find;
using sse2::Finder;
using sse2::finder;
using sse2::next;
#else
using plain::find;
using plain::Finder;
using plain::finder;
using plain::next;
#endif

}  // namespace zorezoru::textio::scan
