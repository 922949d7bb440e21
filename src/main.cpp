// zorezoru: drops the first two bytes of every line of standard input.
#include "cli.hpp"

namespace {

// Three streams with their blocks and pieces, for the life of the process.
zorezoru::textio::Streams streams;

}  // namespace

int main(int argc, char** argv) {
  zorezoru::textio::open(streams);
  const int status = zorezoru::cli::run(streams, argc, argv);
  zorezoru::textio::finish(streams);
  return status;
}
