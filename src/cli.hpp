// The command line: the usage text, the debug switch, the exit status.
#pragma once

#include "textio/streams.hpp"

namespace zorezoru::cli {

enum Status : int {
  kFiltered = 0,     // the input was filtered to its end
  kUsage = 1,        // wrong number of arguments: the usage text was shown
  kInputOutput = 2,  // reading or writing failed
};

// Runs the tool on `argv[1]` to `argv[argc - 1]` and gives its exit status.
int run(textio::Streams& streams, int argc, const char* const* argv);

}  // namespace zorezoru::cli
