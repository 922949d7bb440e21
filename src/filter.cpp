#include "filter.hpp"

namespace zorezoru::filter {

namespace {

constexpr std::size_t kDropped = 2;  // bytes left out at the start of every line

// One piece of a line into the output: into the room when it fits, else
// as one ordinary write (the piece is full, or this is a console).
inline bool pass(textio::Output& out, textio::Room& room, const char* text, std::size_t size,
                 bool line_end) {
  if (textio::put(room, text, size, line_end)) return true;
  textio::commit(out, room);
  const bool written = textio::write(out, text, size, line_end);
  room = textio::room(out);
  return written;
}

Outcome outcome_of(const textio::Streams& streams) {
  if (streams.in.failed) return Outcome::read_failed;
  if (streams.out.broken_pipe) return Outcome::reader_left;
  if (streams.out.failed) return Outcome::write_failed;
  return Outcome::done;
}

}  // namespace

Outcome run(textio::Streams& streams) {
  textio::Output& out = streams.out;
  // Bytes still to leave out at the start of the current line. A line may
  // come in pieces across blocks; only its first bytes are left out.
  std::size_t wanted = kDropped;
  bool line_open = false;  // some of the current line has been read
  bool writing = true;
  while (writing) {
    textio::Lines lines = textio::take_lines(streams.in);
    if (lines.next == nullptr) break;
    textio::Room room = textio::room(out);
    textio::Piece line;
    while (writing && textio::next_line(lines, line)) {
      const std::size_t drop = line.size < wanted ? line.size : wanted;
      wanted = kDropped;
      writing = pass(out, room, line.data + drop, line.size - drop, true);
    }
    if (writing && lines.next != lines.end) {
      // The start of a line that goes on in the next block.
      const textio::Piece rest = textio::rest_of(lines);
      const std::size_t drop = rest.size < wanted ? rest.size : wanted;
      wanted -= drop;
      writing = pass(out, room, rest.data + drop, rest.size - drop, false);
    }
    if (writing) textio::commit(out, room);
    // A block ends in a line end, or in the middle of a line.
    line_open = lines.end[-1] != '\n';
  }
  // A last line without a line feed still gets one.
  if (writing && line_open) textio::write(out, nullptr, 0, true);

  textio::close_input(streams);
  textio::close_output(streams);
  return outcome_of(streams);
}

}  // namespace zorezoru::filter
