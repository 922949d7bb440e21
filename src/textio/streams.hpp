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

// Room after the input block and the output piece for loads and copies in
// sixteen-byte strides that run past the last byte.
inline constexpr std::size_t kSlack = 16;
static_assert(kSlack >= scan::kSlack, "the scan reads this far past the end");

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
  // A guard byte that is never a CR, then the block, and one more byte for
  // the LF that settles a final CR.
  char buffer[1 + kBlockSize + 1 + kSlack];
};

inline char* block(Input& in) { return in.buffer + 1; }

struct Output {
  os::Handle handle;
  std::size_t used;  // bytes waiting in `piece`
  bool collecting;   // a file or pipe in good order: writes gather in `piece`
  bool failed;       // error indicator
  bool broken_pipe;  // the failure was the reader leaving
  bool closed;
  char piece[kPieceSize + kSlack];
};

struct Streams {
  Input in;
  Output out;
  Output err;
};

// Binds the three streams to the process's standard handles.
void open(Streams& streams);

// The bytes of the current input block not yet handed on, translated.
struct Lines {
  const char* next;
  const char* end;
  scan::Finder line_feeds;  // the LFs from `next` on
};

// A run of one line's text, in the input block: no LF in it, and no CR of a
// CR LF. The block has kSlack readable bytes after its end.
struct Piece {
  const char* data;
  std::size_t size;
};

namespace detail {
bool fill(Input& in);  // reads and translates the next block
}  // namespace detail

// The rest of the current block, all of it now the caller's; the next
// block is read when this one is used up. Empty at the end of the input
// (see Input::failed for why it ended).
inline Lines take_lines(Input& in) {
  if (in.next == in.filled && !detail::fill(in)) return Lines{};
  const char* begin = block(in) + in.next;
  const char* end = block(in) + in.filled;
  in.next = in.filled;
  return {begin, end, scan::finder(begin, end, '\n')};
}

// The next whole line of `lines`: its text without the line end. False,
// and nothing taken, when what is left holds no line end.
inline bool next_line(Lines& lines, Piece& line) {
  const char* begin = lines.next;
  const char* lf = scan::next(lines.line_feeds);
  if (lf == nullptr) return false;
  lines.next = lf + 1;
  // A CR before the LF belongs to the line end. The byte before a line is
  // an LF or the guard, never a CR of this line; and an LF first in the
  // block never follows a CR, since a block's final CR is settled when it
  // is read.
  const char* text_end = lf - (lf[-1] == '\r' ? 1 : 0);
  line = {begin, static_cast<std::size_t>(text_end - begin)};
  return true;
}

// What is left of `lines` after its last line end: the start of a line
// that goes on in the next block. Takes it all.
inline Piece rest_of(Lines& lines) {
  const Piece rest = {lines.next, static_cast<std::size_t>(lines.end - lines.next)};
  lines.next = lines.end;
  return rest;
}

// Free room in the output piece of a file or pipe, for the line loop to
// fill without a call per line; empty for a console, which takes every
// write call at once, and for a stream that has failed or is closed.
struct Room {
  char* at;
  char* end;
};

Room room(Output& out);

// Counts what was put into the room as written.
void commit(Output& out, Room room);

// Puts `size` bytes and, when `line_end`, CR LF into the room, if they fit.
// The copy goes in sixteen-byte strides, which may run up to fifteen bytes
// past the data (a piece of the input block) and past the room (into the
// output piece's slack).
inline bool put(Room& room, const char* data, std::size_t size, bool line_end) {
  if (size + 2 > static_cast<std::size_t>(room.end - room.at)) return false;
  char* to = room.at;
  std::size_t i = 0;
  do {
    __builtin_memcpy(to + i, data + i, 16);
    i += 16;
  } while (i < size);
  to[size] = '\r';  // kept only when the line ends
  to[size + 1] = '\n';
  room.at = to + size + (line_end ? 2 : 0);
  return true;
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

// Releases the input handle, unless an output stream shares it.
void close_input(Streams& streams);

// Writes out what standard output holds and releases its handle, unless the
// error stream shares that handle and still needs it.
void close_output(Streams& streams);

// At exit: writes out whatever any open stream still holds.
void finish(Streams& streams);

}  // namespace zorezoru::textio
