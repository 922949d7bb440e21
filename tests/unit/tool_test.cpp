// The whole tool over scripted handles: command line, filter and streams.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model.hpp"
#include "scripted_os.hpp"

namespace zorezoru::testing {
namespace {

using os::Kind;

const std::string kUsageText =
    "ZOREZORU version " ZOREZORU_VERSION "\r\n"
    "Usage: ZOREZORU GO\r\n"
    "   This utility reads an ASCII file from stdin, removes the first two\r\n"
    "   characters, and sends the results to stdout.\r\n"
    "   Options are:\r\n"
    "       /D    Turn on Debugging Messages.\r\n"
    "\r\n";

const std::string kDebug = "Debug Mode On\r\n";
const std::string kCannotRead = "ZOREZORU: cannot read standard input\r\n";
const std::string kCannotWrite = "ZOREZORU: cannot write standard output\r\n";

ScriptedHandle handle(Kind kind, std::string input = {}) {
  ScriptedHandle h;
  h.kind = kind;
  h.input = std::move(input);
  return h;
}

ToolRun filter(ScriptedHandle& in, ScriptedHandle& out, ScriptedHandle& err) {
  return run_tool({"GO"}, in, out, err);
}

// ---------------------------------------------------------------- command line

TEST(CommandLine, WrongCountShowsUsageAndReadsNothing) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"a", "b", "c", "d", "e"},
      {"/D", "/D", "/D", "/D", "/D"},  // not even looked at
  };
  for (const auto& arguments : cases) {
    ScriptedHandle in = handle(Kind::disk, "ABCD\n"), out = handle(Kind::disk),
                   err = handle(Kind::character);
    const ToolRun run = run_tool(arguments, in, out, err);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kUsageText);
    // Six writes, each shown on the console as it is made.
    EXPECT_EQ(err.writes.size(), 6u);
    EXPECT_TRUE(in.read_requests.empty());
    EXPECT_EQ(in.closes + out.closes + err.closes, 0);
  }
}

TEST(CommandLine, DebugSwitchesAnnouncedOnceEach) {
  struct Case {
    std::vector<std::string> arguments;
    int messages;
  };
  const std::vector<Case> cases = {
      {{"GO"}, 0},
      {{"/d"}, 1},
      {{"-D"}, 1},
      {{"/D"}, 1},
      {{"-d"}, 1},
      {{"-D", "/d"}, 2},
      {{"A", "B", "C", "D"}, 0},
      {{"/DEBUG", "/", "-", "--D"}, 0},
      {{"/D", ""}, 1},
      {{"/X", "-help", "GO", "/d"}, 1},
      {{"/\xC4", "/\xE4"}, 0},  // no folding beyond ASCII
  };
  for (const Case& c : cases) {
    ScriptedHandle in = handle(Kind::disk, "ABCD\n"), out = handle(Kind::disk),
                   err = handle(Kind::disk);
    const ToolRun run = run_tool(c.arguments, in, out, err);
    std::string expected_err;
    for (int i = 0; i < c.messages; ++i) expected_err += kDebug;
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "CD\r\n");
    EXPECT_EQ(run.err, expected_err) << c.arguments.size() << " arguments";
  }
}

TEST(CommandLine, DebugMessageComesBeforeAnyOutputOnTheConsole) {
  ScriptedHandle in = handle(Kind::pipe, "ABCD\nEFGH\n"), console = handle(Kind::character);
  const ToolRun run = run_tool({"/D"}, in, console, console);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(console.writes, (std::vector<std::string>{kDebug, "CD\r\n", "GH\r\n"}));
}

TEST(CommandLine, DebugMessageComesLastWhenBothStreamsShareAFile) {
  ScriptedHandle in = handle(Kind::disk, "ABCD\nEFGH\n"), file = handle(Kind::disk);
  const ToolRun run = run_tool({"-d"}, in, file, file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(file.written(), "CD\r\nGH\r\n" + kDebug);
  EXPECT_EQ(file.closes, 0);  // the error stream still needed the handle
  EXPECT_EQ(in.closes, 1);
}

// ---------------------------------------------------------------- the byte rule

TEST(Filter, LinesLoseTheirFirstTwoBytesOnEveryKindOfHandle) {
  struct Case {
    std::string input, output;
  };
  using namespace std::string_literals;
  const std::vector<Case> cases = {
      {"", ""},
      {"ABCDEF\n", "CDEF\r\n"},
      {"AB\nA\n\n", "\r\n\r\n\r\n"},
      {"ABCDEF\n\n", "CDEF\r\n\r\n"},
      {"XY", "\r\n"},
      {"XYZ", "Z\r\n"},
      {"ABCD\0EF\n"s, "CD\0EF\r\n"s},  // NUL is a byte like any other
      {"A\0BC\n"s, "BC\r\n"},
      {"\0XYZ\n"s, "YZ\r\n"},
      {"ABC\rDEF\n", "C\rDEF\r\n"},  // a lone CR stays
      {"ABCD\r\nEFGH\r\n", "CD\r\nGH\r\n"},
      {"ABCD\nEFGH\n", "CD\r\nGH\r\n"},
      {"AB\r\r\n", "\r\r\n"},
      {"ABCD\r", "CD\r\r\n"},
      {"ABCD\r\n\x1A" "EFGH\r\n", "CD\r\n"},
      {"ABC\r\x1A" "DEF\n", "C\r\r\n"},
      {"\x1A" "ABCD\n", ""},
      {"\r\n\r\n", "\r\n\r\n"},
      {"\xFF\xFE\x80\x81\n", "\x80\x81\r\n"},
  };
  for (Kind kind : {Kind::disk, Kind::pipe, Kind::character}) {
    for (const Case& c : cases) {
      ScriptedHandle in = handle(kind, c.input), out = handle(kind), err = handle(kind);
      const ToolRun run = filter(in, out, err);
      EXPECT_EQ(run.status, 0);
      EXPECT_EQ(run.out, c.output) << "kind " << static_cast<int>(kind) << ", input "
                                   << ::testing::PrintToString(c.input);
      EXPECT_EQ(run.err, "");
    }
  }
}

TEST(Filter, LinesOfAnyLengthGiveOneOutputLineEach) {
  for (std::size_t length : {56998u, 56999u, 57000u, 300000u}) {
    std::string line(length, 'x');
    for (std::size_t i = 0; i < length; i += 7) line[i] = static_cast<char>('a' + i % 26);
    ScriptedHandle in = handle(Kind::pipe, line + "\r\nABCD\n"), out = handle(Kind::pipe),
                   err = handle(Kind::pipe);
    const ToolRun run = filter(in, out, err);
    EXPECT_EQ(run.out, line.substr(2) + "\r\nCD\r\n") << length;
  }
}

// ---------------------------------------------------------------- input blocks

TEST(InputBlocks, AreReadFourKilobytesAtATime) {
  ScriptedHandle in = handle(Kind::disk, std::string(10000, 'x') + "\n"), out = handle(Kind::disk),
                 err = handle(Kind::disk);
  filter(in, out, err);
  EXPECT_EQ(in.read_requests, (std::vector<std::size_t>{4096, 4096, 4096, 4096}));
}

TEST(InputBlocks, FinalCrIsSettledByTheNextByte) {
  const std::string head(4095, 'x');  // the CR lands last in the first block
  const std::string kept = head.substr(2);
  struct Case {
    std::string input, output;
    std::vector<std::size_t> disk_reads, pipe_reads;
    int disk_seeks;
  };
  const std::vector<Case> cases = {
      // CR LF split across blocks: one line end.
      {head + "\r\nABC\n", kept + "\r\nC\r\n", {4096, 1, 4096, 4096}, {4096, 1, 4096, 4096}, 0},
      // CR then another byte: the CR stays; the byte starts the next block.
      {head + "\rYZ\n", kept + "\rYZ\r\n", {4096, 1, 4096, 4096}, {4096, 1, 4095, 4096}, 1},
      // CR as the very last byte of the input.
      {head + "\r", kept + "\r\r\n", {4096, 1}, {4096, 1}, 0},
      // CR then 0x1A: the CR stays and the input ends at the mark.
      {head + "\r\x1AZZ\n", kept + "\r\r\n", {4096, 1, 4096}, {4096, 1, 4095}, 1},
      // CR CR LF across the boundary: the first CR is text.
      {head.substr(1) + "\r\r\nABC\n", kept.substr(1) + "\r\r\nC\r\n", {4096, 1, 4096, 4096},
       {4096, 1, 4096, 4096}, 0},
  };
  for (const Case& c : cases) {
    for (Kind kind : {Kind::disk, Kind::pipe}) {
      ScriptedHandle in = handle(kind, c.input), out = handle(Kind::disk),
                     err = handle(Kind::disk);
      const ToolRun run = filter(in, out, err);
      EXPECT_EQ(run.out, c.output);
      EXPECT_EQ(in.read_requests, kind == Kind::disk ? c.disk_reads : c.pipe_reads)
          << "kind " << static_cast<int>(kind) << " case " << (&c - cases.data());
      EXPECT_EQ(in.seeks_back, kind == Kind::disk ? c.disk_seeks : 0);
    }
  }
}

TEST(InputBlocks, ShortReadsSplitNothing) {
  // A pipe handing out odd little pieces gives the same bytes as a file.
  const std::string input = "ABCD\r\nEF\rGH\r\r\nIJ\r\n\r\nKLMNOPQRSTU\r";
  for (std::size_t size : {1u, 2u, 3u, 5u}) {
    ScriptedHandle in = handle(Kind::pipe, input), out = handle(Kind::disk),
                   err = handle(Kind::disk);
    in.default_read_size = size;
    EXPECT_EQ(filter(in, out, err).out, "CD\r\n\rGH\r\r\n\r\n\r\nMNOPQRSTU\r\r\n") << size;
  }
}

TEST(InputBlocks, EndMarkInTheSecondBlock) {
  const std::string first(4096, 'y');  // one block without a line feed
  const std::string input = first + "ABCD\n\x1AZZZZ\nEFGH\n";
  // A file or a pipe ends at the mark and is not read again.
  for (Kind kind : {Kind::disk, Kind::pipe}) {
    ScriptedHandle in = handle(kind, input), out = handle(Kind::disk), err = handle(Kind::disk);
    EXPECT_EQ(filter(in, out, err).out, first.substr(2) + "ABCD\r\n");
    EXPECT_EQ(in.read_requests.size(), 2u);
  }
  // A console drops the rest of the block and reads on; a block that starts
  // with the mark is the end.
  ScriptedHandle in = handle(Kind::character, "ABCD\n\x1AZZ\n" "EFGH\n" "\x1A" "IJKL\n");
  in.read_sizes = {9, 5, 6};
  ScriptedHandle out = handle(Kind::disk), err = handle(Kind::disk);
  EXPECT_EQ(filter(in, out, err).out, "CD\r\nGH\r\n");
  EXPECT_EQ(in.read_requests.size(), 3u);
}

// ---------------------------------------------------------------- output pieces

TEST(OutputPieces, FilesAndPipesGetFourKilobytePieces) {
  std::string input, expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string text = std::to_string(i * 7919);
    input += "AB" + text + "\n";
    expected += text + "\r\n";
  }
  for (Kind kind : {Kind::disk, Kind::pipe}) {
    ScriptedHandle in = handle(Kind::disk, input), out = handle(kind), err = handle(kind);
    EXPECT_EQ(filter(in, out, err).out, expected);
    ASSERT_GT(out.writes.size(), 2u);
    for (std::size_t i = 0; i + 1 < out.writes.size(); ++i) EXPECT_EQ(out.writes[i].size(), 4096u);
    EXPECT_EQ(out.writes.back().size(), expected.size() % 4096);
  }
}

TEST(OutputPieces, ConsoleGetsEachLineAtOnce) {
  const std::string long_line(10000, 'z');
  ScriptedHandle in = handle(Kind::disk, "ABCD\n\nAB" + long_line + "\nXYZ"),
                 out = handle(Kind::character), err = handle(Kind::character);
  filter(in, out, err);
  // The long line leaves in pieces of at most 4,096 bytes; every line and
  // every call ends a write.
  std::string joined;
  for (const std::string& w : out.writes) {
    EXPECT_LE(w.size(), 4096u);
    joined += w;
  }
  EXPECT_EQ(joined, "CD\r\n\r\n" + long_line + "\r\nZ\r\n");
  EXPECT_EQ(out.writes[0], "CD\r\n");
  EXPECT_EQ(out.writes[1], "\r\n");
  // A last line without its LF: its text, then the line end it lacked.
  EXPECT_EQ(out.writes[out.writes.size() - 2], "Z");
  EXPECT_EQ(out.writes.back(), "\r\n");
}

TEST(OutputPieces, ErrorStreamOnAFileIsWrittenAtExit) {
  ScriptedHandle in = handle(Kind::disk), out = handle(Kind::disk), err = handle(Kind::disk);
  const ToolRun run = run_tool({}, in, out, err);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(err.writes, std::vector<std::string>{kUsageText});
  EXPECT_EQ(err.closes, 0);
}

TEST(OutputPieces, StreamsAreClosedOnceAndTheErrorStreamNever) {
  ScriptedHandle in = handle(Kind::pipe, "ABCD\n"), out = handle(Kind::pipe),
                 err = handle(Kind::pipe);
  filter(in, out, err);
  EXPECT_EQ(in.closes, 1);
  EXPECT_EQ(out.closes, 1);
  EXPECT_EQ(err.closes, 0);
}

TEST(OutputPieces, AHandleSharedWithInputStaysForTheOutputs) {
  // A console handle that serves all three streams at once.
  ScriptedHandle console = handle(Kind::character, "ABCD\n");
  const ToolRun run = run_tool({"/D"}, console, console, console);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(console.writes, (std::vector<std::string>{kDebug, "CD\r\n"}));
  EXPECT_EQ(console.closes, 0);
}

// ---------------------------------------------------------------- failures

TEST(Failures, MissingHandlesReadAsEmptyAndSwallowWrites) {
  ScriptedHandle missing = handle(Kind::missing), in = handle(Kind::disk, "ABCD\n"),
                 out = handle(Kind::disk), err = handle(Kind::disk);
  EXPECT_EQ(run_tool({"/D"}, missing, out, err).status, 0);
  EXPECT_EQ(out.written(), "");
  EXPECT_EQ(err.written(), kDebug);

  ScriptedHandle err2 = handle(Kind::disk);
  EXPECT_EQ(run_tool({"/D"}, in, missing, err2).status, 0);
  EXPECT_EQ(err2.written(), kDebug);

  ScriptedHandle in3 = handle(Kind::disk), out3 = handle(Kind::disk);
  EXPECT_EQ(run_tool({}, in3, out3, missing).status, 1);
}

TEST(Failures, ReadFailureWritesWhatWasReadThenReports) {
  struct Case {
    std::string input;
    std::size_t read_size;
    int failing_call;
    std::string output;
  };
  const std::string head(4095, 'x');
  const std::vector<Case> cases = {
      {"ABCD\n", 4096, 0, ""},
      {"ABCD\nEFG", 8, 1, "CD\r\nG\r\n"},        // a line cut short still ends
      {"ABCD\nEF", 7, 1, "CD\r\n\r\n"},
      {head + "\rZZ\n", 4096, 1, head.substr(2) + "\r\r\n"},  // the look past a final CR fails
  };
  for (const Case& c : cases) {
    ScriptedHandle in = handle(Kind::pipe, c.input), out = handle(Kind::disk),
                   err = handle(Kind::disk);
    in.default_read_size = c.read_size;
    in.fail_read_call = c.failing_call;
    const ToolRun run = filter(in, out, err);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, c.output);
    EXPECT_EQ(run.err, kCannotRead);
    EXPECT_EQ(in.read_requests.size(), static_cast<std::size_t>(c.failing_call) + 1);
    EXPECT_EQ(in.closes, 1);
    EXPECT_EQ(out.closes, 1);
  }
}

TEST(Failures, WriteFailureStopsReadingAtOnce) {
  std::string input;
  for (int i = 0; i < 20000; ++i) input += "ABlinelinelineline\n";  // far more than a piece
  struct Case {
    Kind kind;
    int failing_call;
    os::Result failure;
    std::string message;
  };
  const std::vector<Case> cases = {
      {Kind::disk, 0, os::Result::failed, kCannotWrite},
      {Kind::disk, 3, os::Result::failed, kCannotWrite},
      {Kind::pipe, 1, os::Result::broken_pipe, ""},  // the reader chose to leave
      {Kind::character, 2, os::Result::failed, kCannotWrite},
  };
  for (const Case& c : cases) {
    ScriptedHandle in = handle(Kind::disk, input), out = handle(c.kind), err = handle(Kind::disk);
    out.fail_write_call = c.failing_call;
    out.write_failure = c.failure;
    const ToolRun run = filter(in, out, err);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, c.message);
    EXPECT_EQ(out.writes.size(), static_cast<std::size_t>(c.failing_call) + 1);
    // Nothing but whole lines up to the failed piece, none twice.
    std::string expected;
    while (expected.size() < run.out.size()) expected += "linelinelineline\r\n";
    EXPECT_TRUE(run.out == expected.substr(0, run.out.size()));
    // Output trails input by less than a block; had reading gone on, it
    // would have taken all 93 blocks.
    EXPECT_LE(in.read_requests.size(), static_cast<std::size_t>(c.failing_call) + 2);
    EXPECT_EQ(in.closes, 1);
    EXPECT_EQ(out.closes, 1);
  }
}

TEST(Failures, FailureWhileClosingOutputCounts) {
  ScriptedHandle in = handle(Kind::disk, "ABCD\n"), out = handle(Kind::disk),
                 err = handle(Kind::disk);
  out.fail_write_call = 0;
  const ToolRun run = filter(in, out, err);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, kCannotWrite);
}

TEST(Failures, ReadFailureThenWriteFailureReportsOneLine) {
  ScriptedHandle in = handle(Kind::disk, "ABCD\n"), out = handle(Kind::disk),
                 err = handle(Kind::disk);
  in.default_read_size = 3;
  in.fail_read_call = 1;
  out.fail_write_call = 0;
  const ToolRun run = filter(in, out, err);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, kCannotRead);
}

TEST(Failures, ReaderLeavingStopsEndlessInput) {
  ScriptedHandle in = handle(Kind::pipe, "ABendless line\n"), out = handle(Kind::pipe),
                 err = handle(Kind::pipe);
  in.endless = true;
  out.fail_write_call = 5;
  out.write_failure = os::Result::broken_pipe;
  const ToolRun run = filter(in, out, err);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "");
  EXPECT_LE(in.read_requests.size(), 7u);
}

TEST(Failures, ErrorStreamFailuresChangeNothing) {
  ScriptedHandle in = handle(Kind::disk, "ABCD\n"), out = handle(Kind::disk),
                 err = handle(Kind::character);
  err.fail_write_call = 0;
  EXPECT_EQ(run_tool({"/D", "/D"}, in, out, err).status, 0);
  EXPECT_EQ(out.written(), "CD\r\n");
  ScriptedHandle in2 = handle(Kind::disk), out2 = handle(Kind::disk), err2 = handle(Kind::disk);
  err2.fail_write_call = 0;
  EXPECT_EQ(run_tool({}, in2, out2, err2).status, 1);
}

// ---------------------------------------------------------------- against the model

TEST(Model, RandomInputsMatchTheByteRule) {
  std::mt19937 random(20261211);
  const char alphabet[] = {'A', 'B', 'x', '\r', '\n', '\0', '\x1A', '\xFF'};
  for (int round = 0; round < 400; ++round) {
    const Kind kind = round % 3 == 0 ? Kind::disk : round % 3 == 1 ? Kind::pipe : Kind::character;
    std::string input(random() % 9000, '\0');
    for (char& c : input) {
      // Mostly text, now and then any of the bytes that matter.
      c = random() % 4 != 0 ? static_cast<char>('a' + random() % 26)
                            : alphabet[random() % sizeof alphabet];
      if (kind == Kind::character && c == '\x1A') c = 'z';  // console marks are per block
    }
    ScriptedHandle in = handle(kind, input), out = handle(Kind::disk), err = handle(Kind::disk);
    if (kind != Kind::disk) in.default_read_size = 1 + random() % 5000;
    const ToolRun run = filter(in, out, err);
    ASSERT_EQ(run.out, model::filter(input)) << "round " << round;
    ASSERT_EQ(run.status, 0);
  }
}

}  // namespace
}  // namespace zorezoru::testing
