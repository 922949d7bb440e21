// The narrow interface between the text-mode streams and the operating
// system. Everything the streams need of the platform goes through these few
// calls; one implementation per platform lives beside this file, and the
// unit tests link a scripted one instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zorezoru::os {

// What a standard handle is connected to, found once at start-up.
enum class Kind : std::uint8_t {
  missing,    // no handle, or one whose kind cannot be told
  character,  // a console or terminal
  pipe,
  disk,       // a file that can seek
};

// A platform handle as plain data: a descriptor on POSIX, a HANDLE on Windows.
struct Handle {
  std::uintptr_t value;
  Kind kind;
};

enum class Standard : std::uint8_t { input, output, error };

enum class Result : std::uint8_t {
  ok,
  end,          // end of the input, or a pipe whose writer has gone
  broken_pipe,  // the reader of an output pipe has gone
  failed,       // any other failure
};

struct Transfer {
  std::size_t count;
  Result result;
};

// The process's standard handle and its kind.
Handle standard_handle(Standard which);

// One read of at most `size` bytes. Gives count > 0 with ok, or count 0 with
// end or failed; never a spurious zero.
Transfer read(Handle handle, char* buffer, std::size_t size);

// Writes all `size` bytes, completing short writes, or reports why not.
Result write(Handle handle, const char* data, std::size_t size);

// Moves the position of a disk file back by one byte.
bool seek_back_one(Handle handle);

void close(Handle handle);

inline bool same_handle(Handle a, Handle b) {
  return a.kind != Kind::missing && b.kind != Kind::missing && a.value == b.value;
}

}  // namespace zorezoru::os
