// A scripted stand-in for the OS layer: each standard handle is a plain
// object that says what its reads return, records every call made on it,
// and fails where a test asks it to.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "textio/os.hpp"
#include "textio/streams.hpp"

namespace zorezoru::testing {

struct ScriptedHandle {
  os::Kind kind = os::Kind::disk;

  // Reading: `input` is handed out from `position`; a read call returns at
  // most the next entry of `read_sizes` (then `default_read_size`) bytes.
  std::string input;
  std::size_t position = 0;
  std::vector<std::size_t> read_sizes;
  std::size_t default_read_size = static_cast<std::size_t>(-1);
  int fail_read_call = -1;  // this read call (counted from 0) fails
  bool endless = false;     // reads never end: `input` repeats forever

  // Writing: every write call's bytes, in order.
  int fail_write_call = -1;  // this write call fails with `write_failure`
  os::Result write_failure = os::Result::failed;

  // What was done to the handle.
  std::vector<std::size_t> read_requests;  // the size asked for, per read call
  std::vector<std::string> writes;
  int seeks_back = 0;
  int closes = 0;

  std::string written() const;
};

// The handles os::standard_handle() gives from now on; nullptr is a
// missing handle. The same object twice is one handle bound twice.
void install(ScriptedHandle* input, ScriptedHandle* output, ScriptedHandle* error);

struct ToolRun {
  int status;
  std::string out;  // all bytes written to standard output
  std::string err;  // all bytes written to the error stream
};

// Runs the whole tool, from binding the streams to the writes at exit.
ToolRun run_tool(const std::vector<std::string>& arguments, ScriptedHandle& input,
                 ScriptedHandle& output, ScriptedHandle& error);

}  // namespace zorezoru::testing
