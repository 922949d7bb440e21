#include "cli.hpp"

#include <string_view>

#include "filter.hpp"

#ifndef ZOREZORU_VERSION
#error "the build defines ZOREZORU_VERSION from the project version"
#endif

namespace zorezoru::cli {

namespace {

constexpr int kFewestArguments = 1;
constexpr int kMostArguments = 4;

// Six writes, one per row, as the usage text has always been shown.
constexpr std::string_view kUsageRows[] = {
    "ZOREZORU version " ZOREZORU_VERSION "\n",
    "Usage: ZOREZORU GO\n",
    "   This utility reads an ASCII file from stdin, removes the first two\n",
    "   characters, and sends the results to stdout.\n",
    "   Options are:\n",
    "       /D    Turn on Debugging Messages.\n\n",
};

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// /D, /d, -D or -d, and nothing more.
bool is_debug_switch(const char* argument) {
  return (argument[0] == '/' || argument[0] == '-') && fold(argument[1]) == 'd' &&
         argument[2] == '\0';
}

}  // namespace

int run(textio::Streams& streams, int argc, const char* const* argv) {
  const int count = argc - 1;
  if (count < kFewestArguments || count > kMostArguments) {
    for (std::string_view row : kUsageRows) textio::write_text(streams.err, row.data(), row.size());
    return kUsage;
  }

  for (int i = 1; i < argc; ++i) {
    if (is_debug_switch(argv[i])) textio::write_text(streams.err, "Debug Mode On\n");
  }

  switch (filter::run(streams)) {
    case filter::Outcome::done:
      return kFiltered;
    case filter::Outcome::read_failed:
      textio::write_text(streams.err, "ZOREZORU: cannot read standard input\n");
      return kInputOutput;
    case filter::Outcome::write_failed:
      textio::write_text(streams.err, "ZOREZORU: cannot write standard output\n");
      return kInputOutput;
    case filter::Outcome::reader_left:  // the reader chose to stop; nothing to say
      return kInputOutput;
  }
  return kInputOutput;
}

}  // namespace zorezoru::cli
