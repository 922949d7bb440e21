#include "filter.hpp"

namespace zorezoru::filter {

namespace {

constexpr std::size_t kDropped = 2;  // bytes left out at the start of every line

Outcome outcome_of(const textio::Streams& streams) {
  if (streams.in.failed) return Outcome::read_failed;
  if (streams.out.broken_pipe) return Outcome::reader_left;
  if (streams.out.failed) return Outcome::write_failed;
  return Outcome::done;
}

}  // namespace

Outcome run(textio::Streams& streams) {
  textio::Output& out = streams.out;
  // Bytes of the current line seen so far, counted up to kDropped: a line
  // may come in several pieces, and only its first bytes are left out.
  std::size_t seen = 0;
  bool line_open = false;  // some of the current line has been read
  bool writing = true;
  while (writing) {
    textio::Lines lines = textio::take_lines(streams.in);
    if (lines.next == nullptr) break;
    textio::Room room = textio::room(out);
    while (lines.next != lines.end) {
      const textio::Piece piece = textio::next_piece(lines);
      const std::size_t wanted = kDropped - seen;
      const std::size_t drop = piece.size < wanted ? piece.size : wanted;
      const char* text = piece.data + drop;
      const std::size_t size = piece.size - drop;
      if (!textio::put(room, text, size, piece.line_end)) {
        // The piece is full (or this is a console): one ordinary write.
        textio::commit(out, room);
        writing = textio::write(out, text, size, piece.line_end);
        if (!writing) break;
        room = textio::room(out);
      }
      seen = piece.line_end ? 0 : seen + drop;
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
