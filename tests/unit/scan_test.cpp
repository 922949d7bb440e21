// The SSE2 scan against the plain one: same hits, in the same order, for
// every start alignment and length, with the end anywhere in a window.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "textio/scan.hpp"

#if defined(__SSE2__)
namespace zorezoru::textio::scan {
namespace {

template <typename FinderT>
std::vector<std::size_t> all_hits(FinderT f, const char* base,
                                  const char* (*step)(FinderT&)) {
  std::vector<std::size_t> found;
  while (const char* hit = step(f)) found.push_back(static_cast<std::size_t>(hit - base));
  return found;
}

TEST(Scan, WidePathFindsWhatThePlainPathFinds) {
  std::mt19937 random(7);
  std::vector<char> buffer(256 + kSlack);
  for (int round = 0; round < 200; ++round) {
    // Sparse and dense hits; the slack after the end holds hits too, which
    // must never be reported.
    const unsigned density = 1 + random() % 12;
    for (char& c : buffer) c = random() % density == 0 ? '\n' : 'a';
    for (std::size_t begin = 0; begin < 40; ++begin) {
      for (std::size_t end = begin; end <= 256; end += 1 + random() % 5) {
        const char* b = buffer.data() + begin;
        const char* e = buffer.data() + end;
        ASSERT_EQ(sse2::find(b, e, '\n'), plain::find(b, e, '\n')) << begin << " " << end;
        ASSERT_EQ(all_hits(sse2::finder(b, e, '\n'), b, &sse2::next),
                  all_hits(plain::finder(b, e, '\n'), b, &plain::next))
            << begin << " " << end;
      }
    }
  }
}

}  // namespace
}  // namespace zorezoru::textio::scan
#endif
