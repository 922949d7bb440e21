// Text-mode standard streams, the same on every platform:
//  - input: CR LF reads as LF; a byte 0x1A ends input from a file or a pipe
//    (a console drops the rest of that block and goes on); the handle is read
//    in blocks of 4,096 bytes;
//  - output: every LF is written as CR LF; files and pipes receive 4,096-byte
//    pieces (and the rest at close or exit), a console each write call at its
//    end.
//
// The input side hands out the text of lines in place, straight from its
// block: no byte is copied until it goes into an output piece.
#pragma once

#include <cstddef>

#include "textio/os.hpp"
#include "textio/scan.hpp"

namespace zorezoru::textio {

inline constexpr std::size_t kBlockSize = 4096;  // one read of the input handle
inline constexpr std::size_t kPieceSize = 4096;  // one write to a file or pipe

struct Input {
  os::Handle handle;
  std::size_t next;    // first byte of the block not yet handed on
  std::size_t filled;  // bytes in the block, after translation
  bool reads_over;     // 0x1A on a file or pipe, the end, or a failure was met
  bool at_end;         // end-of-file indicator
  bool failed;         // error indicator
  bool holding;        // a byte read past a final CR waits for the next block
  char held;
  bool closed;
  // One block, one more byte for the LF that settles a final CR, and room
  // for wide loads past the end.
  char block[kBlockSize + 1 + scan::kSlack];
};

struct Output {
  os::Handle handle;
  std::size_t used;  // bytes waiting in `piece`
  bool failed;       // error indicator
  bool broken_pipe;  // the failure was the reader leaving
  bool closed;
  char piece[kPieceSize];
};

struct Streams {
  Input in;
  Output out;
  Output err;
};

// Binds the three streams to the process's standard handles.
void open(Streams& streams);

// A run of one line's text: no LF in it, and no CR of a CR LF. `line_end`
// says the line ends after it. An empty piece without a line end means the
// input is over (at its end, or failed: see Input::failed).
struct Piece {
  const char* data;
  std::size_t size;
  bool line_end;
};

namespace detail {
bool fill(Input& in);  // reads and translates the next block
}

inline Piece next_piece(Input& in) {
  if (in.next == in.filled && !detail::fill(in)) return {nullptr, 0, false};
  const char* begin = in.block + in.next;
  const char* end = in.block + in.filled;
  const char* lf = scan::find(begin, end, '\n');
  if (lf == end) {
    in.next = in.filled;
    return {begin, static_cast<std::size_t>(end - begin), false};
  }
  in.next = static_cast<std::size_t>(lf - in.block) + 1;
  // A CR before the LF belongs to the line end. An LF first in the block
  // never follows a CR: a block's final CR is settled when it is read.
  const char* text_end = lf > begin && lf[-1] == '\r' ? lf - 1 : lf;
  return {begin, static_cast<std::size_t>(text_end - begin), true};
}

// One write call: `data` (which holds no LF), then CR LF when `line_end`.
// False once the stream has failed or is closed.
bool write(Output& out, const char* data, std::size_t size, bool line_end);

// One write call of text whose every LF goes out as CR LF.
bool write_text(Output& out, const char* text, std::size_t size);

template <std::size_t N>
bool write_text(Output& out, const char (&text)[N]) {
  return write_text(out, text, N - 1);
}

// Releases the input handle.
void close_input(Streams& streams);

// Writes out what standard output holds and releases its handle, unless the
// error stream shares that handle and still needs it.
void close_output(Streams& streams);

// At exit: writes out whatever any open stream still holds.
void finish(Streams& streams);

}  // namespace zorezoru::textio
