// The line filter: standard input to standard output, each line less its
// first two bytes.
#pragma once

#include "textio/streams.hpp"

namespace zorezoru::filter {

enum class Outcome {
  done,
  read_failed,   // input failed; what had been read was written first
  write_failed,  // output failed; reading stopped there
  reader_left,   // the reader of the output pipe went away
};

// Filters to the end of the input (or the first failure), then closes
// standard input and standard output.
Outcome run(textio::Streams& streams);

}  // namespace zorezoru::filter
