// Fuzz target: the whole tool over scripted handles whose kinds, read sizes
// and faults come from the fuzz input, held against a plain model of the
// byte rule.
//
// Input layout: five control bytes, then the bytes of standard input.
//   0  input kind (disk, pipe, console)      1  bytes per read (0: a block)
//   2  output kind                           3  failing read call + 1 (0: none)
//   4  failing write call + 1 (0: none); its top bit picks a broken pipe
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model.hpp"
#include "scripted_os.hpp"

namespace {

using zorezoru::os::Kind;
using zorezoru::testing::ScriptedHandle;

const std::string kCannotRead = "ZOREZORU: cannot read standard input\r\n";
const std::string kCannotWrite = "ZOREZORU: cannot write standard output\r\n";

Kind kind_of(std::uint8_t byte) {
  const Kind kinds[] = {Kind::disk, Kind::pipe, Kind::character};
  return kinds[byte % 3];
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  ScriptedHandle in, out, err;
  in.kind = kind_of(data[0]);
  if (data[1] != 0) in.default_read_size = data[1];
  out.kind = kind_of(data[2]);
  err.kind = Kind::disk;
  in.fail_read_call = static_cast<int>(data[3]) - 1;
  out.fail_write_call = static_cast<int>(data[4] & 0x7F) - 1;
  out.write_failure = (data[4] & 0x80) != 0 ? zorezoru::os::Result::broken_pipe
                                              : zorezoru::os::Result::failed;
  in.input.assign(reinterpret_cast<const char*>(data + 5), size - 5);
  // A console ends its block at 0x1A and reads on; the model knows files
  // and pipes only, so console input is kept free of the mark.
  if (in.kind == Kind::character) {
    for (char& c : in.input) c = c == '\x1A' ? 'z' : c;
  }

  const zorezoru::testing::ToolRun run = zorezoru::testing::run_tool({"GO"}, in, out, err);

  const bool read_fault = in.fail_read_call >= 0 &&
                          in.read_requests.size() > static_cast<std::size_t>(in.fail_read_call);
  const bool write_fault = out.fail_write_call >= 0 &&
                           out.writes.size() > static_cast<std::size_t>(out.fail_write_call);
  check(in.closes == 1 && out.closes == 1 && err.closes == 0);

  if (!read_fault && !write_fault) {
    check(run.status == 0 && run.err.empty());
    check(run.out == zorezoru::model::filter(in.input));
    return 0;
  }
  check(run.status == 2);
  if (!write_fault) {
    // Everything taken before the failure is written, and nothing else.
    check(run.err == kCannotRead);
    check(run.out == zorezoru::model::filter(in.input.substr(0, in.position)));
    return 0;
  }
  // Output stopped at the failed piece: what arrived is a true prefix, and
  // nothing was read after the failure.
  const std::string expected = zorezoru::model::filter(in.input);
  check(run.out.size() < expected.size() || expected.empty() || run.out == expected);
  check(expected.compare(0, run.out.size(), run.out) == 0);
  const std::string& message =
      out.write_failure == zorezoru::os::Result::broken_pipe ? std::string() : kCannotWrite;
  check(run.err == (read_fault ? kCannotRead : message));
  return 0;
}
