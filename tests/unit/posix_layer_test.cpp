// The POSIX half of the OS layer, under system calls that are interrupted,
// would block, write short or fail, and the whole tool on top of it.
#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <memory>
#include <string>

#include "cli.hpp"
#include "textio/Unix/calls.hpp"

namespace zorezoru {
namespace {

// An in-memory descriptor. Each read or write call first takes the next
// entry of its script: an errno to fail with, or 0 to go ahead.
struct FakeFd {
  mode_t mode = S_IFREG;
  bool open = true;
  std::string input;
  std::size_t position = 0;
  std::deque<int> read_script, write_script;
  std::size_t write_limit = static_cast<std::size_t>(-1);  // short writes below this
  std::string output;
  int polls = 0, seeks = 0, closes = 0;
};

FakeFd fds[3];

bool scripted_failure(std::deque<int>& script) {
  if (script.empty()) return false;
  const int error = script.front();
  script.pop_front();
  if (error == 0) return false;
  errno = error;
  return true;
}

ssize_t fake_read(int fd, void* buffer, size_t size) {
  FakeFd& f = fds[fd];
  if (scripted_failure(f.read_script)) return -1;
  const std::size_t n = std::min(size, f.input.size() - f.position);
  f.input.copy(static_cast<char*>(buffer), n, f.position);
  f.position += n;
  return static_cast<ssize_t>(n);
}

ssize_t fake_write(int fd, const void* data, size_t size) {
  FakeFd& f = fds[fd];
  if (scripted_failure(f.write_script)) return -1;
  const std::size_t n = std::min(size, f.write_limit);
  f.output.append(static_cast<const char*>(data), n);
  return static_cast<ssize_t>(n);
}

int fake_poll(struct pollfd* ready, nfds_t, int) {
  ++fds[ready->fd].polls;
  ready->revents = ready->events;
  return 1;
}

off_t fake_lseek(int fd, off_t offset, int whence) {
  FakeFd& f = fds[fd];
  if (!S_ISREG(f.mode) || whence != SEEK_CUR || offset != -1 || f.position == 0) {
    errno = ESPIPE;
    return -1;
  }
  ++f.seeks;
  return static_cast<off_t>(--f.position);
}

int fake_fstat(int fd, struct stat* status) {
  if (!fds[fd].open) {
    errno = EBADF;
    return -1;
  }
  *status = {};
  status->st_mode = fds[fd].mode;
  return 0;
}

int fake_close(int fd) {
  ++fds[fd].closes;
  return 0;
}

class PosixLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = os::posix::calls;
    os::posix::calls = {fake_read, fake_write, fake_poll, fake_lseek, fake_fstat, fake_close};
    for (FakeFd& f : fds) f = FakeFd{};
  }
  void TearDown() override { os::posix::calls = saved_; }

  static int run(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"zorezoru"};
    argv.insert(argv.end(), arguments);
    auto streams = std::make_unique<textio::Streams>();
    textio::open(*streams);
    const int status = cli::run(*streams, static_cast<int>(argv.size()), argv.data());
    textio::finish(*streams);
    return status;
  }

 private:
  os::posix::Calls saved_{};
};

TEST_F(PosixLayer, KindComesFromTheFileMode) {
  struct Case {
    mode_t mode;
    bool open;
    os::Kind kind;
  };
  const Case cases[] = {
      {S_IFCHR, true, os::Kind::character}, {S_IFIFO, true, os::Kind::pipe},
      {S_IFSOCK, true, os::Kind::pipe},     {S_IFREG, true, os::Kind::disk},
      {S_IFDIR, true, os::Kind::disk},      {S_IFBLK, true, os::Kind::disk},
      {S_IFREG, false, os::Kind::missing},
  };
  for (const Case& c : cases) {
    fds[0].mode = c.mode;
    fds[0].open = c.open;
    EXPECT_EQ(os::standard_handle(os::Standard::input).kind, c.kind) << c.mode;
  }
}

TEST_F(PosixLayer, InterruptedBlockedAndShortCallsLoseNothing) {
  fds[0].mode = S_IFIFO;
  fds[0].input = "ABCD\r\nEFGH\r\n";
  fds[0].read_script = {EINTR, EAGAIN, EWOULDBLOCK, 0, EINTR};
  fds[1].mode = S_IFIFO;
  fds[1].write_script = {EINTR, EAGAIN, 0, EINTR, 0};
  fds[1].write_limit = 3;  // every write takes several calls
  fds[2].mode = S_IFCHR;
  fds[2].write_limit = 1;
  EXPECT_EQ(run({"/D"}), 0);
  EXPECT_EQ(fds[1].output, "CD\r\nGH\r\n");
  EXPECT_EQ(fds[2].output, "Debug Mode On\r\n");
  EXPECT_EQ(fds[0].polls, 2);  // each "would block" waited for the descriptor
  EXPECT_EQ(fds[1].polls, 1);
  EXPECT_EQ(fds[0].closes, 1);
  EXPECT_EQ(fds[1].closes, 1);
  EXPECT_EQ(fds[2].closes, 0);
}

TEST_F(PosixLayer, FailuresGiveStatusTwoAndOneMessage) {
  struct Case {
    std::deque<int> read_script, write_script;
    std::string out, err;
  };
  const std::string input = "ABCD\nEFGH\n";
  const Case cases[] = {
      {{EIO}, {}, "", "ZOREZORU: cannot read standard input\r\n"},
      {{0, EIO}, {}, "CD\r\nGH\r\n", "ZOREZORU: cannot read standard input\r\n"},
      {{}, {ENOSPC}, "", "ZOREZORU: cannot write standard output\r\n"},
      {{}, {EIO}, "", "ZOREZORU: cannot write standard output\r\n"},
      {{}, {EPIPE}, "", ""},  // the reader left: nothing to say
  };
  for (const Case& c : cases) {
    for (FakeFd& f : fds) f = FakeFd{};
    fds[0].input = input;
    fds[0].read_script = c.read_script;
    fds[1].write_script = c.write_script;
    EXPECT_EQ(run({"GO"}), 2);
    EXPECT_EQ(fds[1].output, c.out);
    EXPECT_EQ(fds[2].output, c.err);
    EXPECT_EQ(fds[0].closes, 1);
    EXPECT_EQ(fds[1].closes, 1);
  }
}

TEST_F(PosixLayer, FinalCrOfAFileBlockIsLookedPastAndSoughtBack) {
  fds[0].input = std::string(4095, 'x') + "\rAB\n";
  EXPECT_EQ(run({"GO"}), 0);
  EXPECT_EQ(fds[0].seeks, 1);
  EXPECT_EQ(fds[1].output, std::string(4093, 'x') + "\rAB\r\n");
}

TEST_F(PosixLayer, ClosedDescriptorsAreMissingHandles) {
  fds[0].open = false;
  fds[1].open = false;
  fds[0].input = "ABCD\n";
  EXPECT_EQ(run({"/D"}), 0);
  EXPECT_EQ(fds[1].output, "");
  EXPECT_EQ(fds[2].output, "Debug Mode On\r\n");
  EXPECT_EQ(fds[0].closes + fds[1].closes, 0);
}

}  // namespace
}  // namespace zorezoru
