// The system calls beneath the POSIX half of the OS layer, gathered in one
// table so that tests can put failing, interrupted or short calls in their
// place and watch the layer cope. The program never changes it.
#pragma once

#include <poll.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace zorezoru::os::posix {

struct Calls {
  ssize_t (*read)(int fd, void* buffer, size_t size);
  ssize_t (*write)(int fd, const void* data, size_t size);
  int (*poll)(struct pollfd* fds, nfds_t count, int timeout);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*fstat)(int fd, struct stat* status);
  int (*close)(int fd);
};

extern Calls calls;

}  // namespace zorezoru::os::posix
