#include "textio/streams.hpp"

#include <cstring>

namespace zorezoru::textio {

namespace {

constexpr char kEndMark = 0x1A;

void bind(Output& out, os::Standard which) {
  out = Output{};
  out.handle = os::standard_handle(which);
  out.collecting = out.handle.kind == os::Kind::disk || out.handle.kind == os::Kind::pipe;
}

// Settles a CR that is the last byte of a block by the byte after it.
void settle_final_cr(Input& in) {
  char next = 0;
  const os::Transfer peek = os::read(in.handle, &next, 1);
  if (peek.result == os::Result::ok) {
    if (next == '\n') {
      block(in)[in.filled++] = '\n';  // CR LF, as if the block had held both
    } else if (!(in.handle.kind == os::Kind::disk && os::seek_back_one(in.handle))) {
      in.holding = true;  // pipe or console: no way back, keep it aside
      in.held = next;
    }
    return;
  }
  // No next byte: the CR stays as it is, and the input is over.
  in.reads_over = true;
  in.failed = peek.result == os::Result::failed;
}

// Counts a block that yields no bytes: the end of the input.
bool end_of_input(Input& in) {
  in.at_end = true;
  in.next = in.filled = 0;
  return false;
}

void emit(Output& out) {
  if (out.used == 0) return;
  const os::Result result = os::write(out.handle, out.piece, out.used);
  out.used = 0;
  if (result != os::Result::ok) {
    out.failed = true;
    out.collecting = false;
    out.broken_pipe = result == os::Result::broken_pipe;
  }
}

// Adds bytes to the piece, passing each full piece on.
void append(Output& out, const char* data, std::size_t size) {
  while (size > 0 && !out.failed) {
    const std::size_t room = kPieceSize - out.used;
    const std::size_t n = size < room ? size : room;
    std::memcpy(out.piece + out.used, data, n);
    out.used += n;
    data += n;
    size -= n;
    if (out.used == kPieceSize) emit(out);
  }
}

void append_line(Output& out, const char* data, std::size_t size, bool line_end) {
  const std::size_t total = size + (line_end ? 2 : 0);
  if (out.used + total <= kPieceSize) {  // the usual case: all of it fits
    if (size > 0) std::memcpy(out.piece + out.used, data, size);
    char* tail = out.piece + out.used + size;
    if (line_end) {
      tail[0] = '\r';
      tail[1] = '\n';
    }
    out.used += total;
    if (out.used == kPieceSize) emit(out);
    return;
  }
  append(out, data, size);
  if (line_end) append(out, "\r\n", 2);
}

bool writable(const Output& out) { return !out.closed && !out.failed; }

// The end of a write call: a console gets at once what the call wrote.
bool end_call(Output& out) {
  if (out.handle.kind == os::Kind::character) emit(out);
  return !out.failed;
}

}  // namespace

void open(Streams& streams) {
  streams.in = Input{};
  streams.in.handle = os::standard_handle(os::Standard::input);
  bind(streams.out, os::Standard::output);
  bind(streams.err, os::Standard::error);
}

namespace detail {

bool fill(Input& in) {
  if (in.closed || in.at_end || in.reads_over || in.handle.kind == os::Kind::missing) {
    return end_of_input(in);
  }
  std::size_t count = 0;
  if (in.holding) {
    block(in)[count++] = in.held;
    in.holding = false;
  }
  const os::Transfer got = os::read(in.handle, block(in) + count, kBlockSize - count);
  count += got.count;
  if (got.result != os::Result::ok) {
    in.reads_over = true;
    in.failed = got.result == os::Result::failed;
  }

  bool cut = false;
  const char* mark = scan::find(block(in), block(in) + count, kEndMark);
  if (mark < block(in) + count) {
    count = static_cast<std::size_t>(mark - block(in));
    cut = true;
    // A console is read on after its end mark; a file or pipe ends there.
    if (in.handle.kind != os::Kind::character) in.reads_over = true;
  }
  if (count == 0) return end_of_input(in);

  in.next = 0;
  in.filled = count;
  if (!cut && !in.reads_over && block(in)[count - 1] == '\r') settle_final_cr(in);
  return true;
}

}  // namespace detail

bool write(Output& out, const char* data, std::size_t size, bool line_end) {
  if (!writable(out)) return false;
  if (out.handle.kind == os::Kind::missing) return true;  // written into nothing
  append_line(out, data, size, line_end);
  return end_call(out);
}

Room room(Output& out) {
  if (!out.collecting) return {out.piece, out.piece};
  return {out.piece + out.used, out.piece + kPieceSize};
}

void commit(Output& out, Room room) {
  if (out.collecting) out.used = static_cast<std::size_t>(room.at - out.piece);
}

bool write_text(Output& out, const char* text, std::size_t size) {
  if (!writable(out)) return false;
  if (out.handle.kind == os::Kind::missing) return true;
  const char* end = text + size;
  while (text < end && !out.failed) {
    const char* lf = static_cast<const char*>(std::memchr(text, '\n', end - text));
    const char* stop = lf != nullptr ? lf : end;
    append_line(out, text, static_cast<std::size_t>(stop - text), lf != nullptr);
    text = lf != nullptr ? lf + 1 : end;
  }
  return end_call(out);
}

void close_input(Streams& streams) {
  Input& in = streams.in;
  if (in.closed) return;
  // One handle may serve more than one stream (a console opened for both
  // reading and writing); it stays for the streams that still write to it.
  if (in.handle.kind != os::Kind::missing && !os::same_handle(in.handle, streams.out.handle) &&
      !os::same_handle(in.handle, streams.err.handle)) {
    os::close(in.handle);
  }
  in.closed = true;
}

void close_output(Streams& streams) {
  Output& out = streams.out;
  if (out.closed) return;
  if (!out.failed) emit(out);
  out.used = 0;
  out.collecting = false;
  if (out.handle.kind != os::Kind::missing && !os::same_handle(out.handle, streams.err.handle)) {
    os::close(out.handle);
  }
  out.closed = true;
}

void finish(Streams& streams) {
  if (writable(streams.out)) emit(streams.out);
  if (writable(streams.err)) emit(streams.err);
}

}  // namespace zorezoru::textio
