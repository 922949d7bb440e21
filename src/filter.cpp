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
  // Bytes of the current line seen so far, counted up to kDropped only. A
  // line may arrive in several pieces; only its first bytes are dropped.
  std::size_t seen = 0;
  bool line_open = false;  // some of the current line has been read
  bool writing = true;
  while (writing) {
    const textio::Piece piece = textio::next_piece(streams.in);
    if (piece.size == 0 && !piece.line_end) break;
    const std::size_t drop = seen >= kDropped             ? 0
                             : piece.size < kDropped - seen ? piece.size
                                                            : kDropped - seen;
    seen += drop;
    writing = textio::write(streams.out, piece.data + drop, piece.size - drop, piece.line_end);
    line_open = !piece.line_end;
    if (piece.line_end) seen = 0;
  }
  // A last line without a line feed still gets one.
  if (writing && line_open) textio::write(streams.out, nullptr, 0, true);

  textio::close_input(streams);
  textio::close_output(streams);
  return outcome_of(streams);
}

}  // namespace zorezoru::filter
