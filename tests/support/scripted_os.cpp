#include "scripted_os.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

#include "cli.hpp"

namespace zorezoru {

namespace {

testing::ScriptedHandle* installed[3] = {nullptr, nullptr, nullptr};

testing::ScriptedHandle& scripted(os::Handle handle) {
  return *reinterpret_cast<testing::ScriptedHandle*>(handle.value);
}

}  // namespace

namespace os {

Handle standard_handle(Standard which) {
  testing::ScriptedHandle* handle = installed[static_cast<int>(which)];
  if (handle == nullptr || handle->kind == Kind::missing) return {0, Kind::missing};
  return {reinterpret_cast<std::uintptr_t>(handle), handle->kind};
}

Transfer read(Handle handle, char* buffer, std::size_t size) {
  testing::ScriptedHandle& h = scripted(handle);
  const int call = static_cast<int>(h.read_requests.size());
  h.read_requests.push_back(size);
  if (h.closes > 0 || call == h.fail_read_call) return {0, Result::failed};
  std::size_t limit = h.default_read_size;
  if (static_cast<std::size_t>(call) < h.read_sizes.size()) limit = h.read_sizes[call];
  std::size_t n = std::min(size, limit);
  if (h.endless) {
    for (std::size_t i = 0; i < n; ++i) buffer[i] = h.input[(h.position + i) % h.input.size()];
    h.position += n;
    return {n, Result::ok};
  }
  n = std::min(n, h.input.size() - h.position);
  if (n == 0) return {0, Result::end};
  std::memcpy(buffer, h.input.data() + h.position, n);
  h.position += n;
  return {n, Result::ok};
}

Result write(Handle handle, const char* data, std::size_t size) {
  testing::ScriptedHandle& h = scripted(handle);
  const int call = static_cast<int>(h.writes.size());
  if (h.closes > 0) return Result::failed;
  if (call == h.fail_write_call) {
    h.writes.emplace_back();  // the call was made; nothing arrived
    return h.write_failure;
  }
  h.writes.emplace_back(data, size);
  return Result::ok;
}

bool seek_back_one(Handle handle) {
  testing::ScriptedHandle& h = scripted(handle);
  if (h.kind != Kind::disk || h.position == 0) return false;
  --h.position;
  ++h.seeks_back;
  return true;
}

void close(Handle handle) { ++scripted(handle).closes; }

}  // namespace os

namespace testing {

std::string ScriptedHandle::written() const {
  std::string all;
  for (const std::string& w : writes) all += w;
  return all;
}

void install(ScriptedHandle* input, ScriptedHandle* output, ScriptedHandle* error) {
  installed[0] = input;
  installed[1] = output;
  installed[2] = error;
}

ToolRun run_tool(const std::vector<std::string>& arguments, ScriptedHandle& input,
                 ScriptedHandle& output, ScriptedHandle& error) {
  install(&input, &output, &error);
  std::vector<const char*> argv{"zorezoru"};
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  auto streams = std::make_unique<textio::Streams>();
  textio::open(*streams);
  const int status = cli::run(*streams, static_cast<int>(argv.size()), argv.data());
  textio::finish(*streams);
  install(nullptr, nullptr, nullptr);
  return {status, output.written(), error.written()};
}

}  // namespace testing

}  // namespace zorezoru
