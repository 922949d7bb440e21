// Starts a program with standard handles that only a Windows parent can
// give it, and exits with its status:
//
//   launch shared INPUT OUTPUT PROGRAM [ARGUMENTS...]
//       standard input from the file INPUT; standard output and the error
//       stream both the one handle of the new file OUTPUT
//   launch none PROGRAM [ARGUMENTS...]
//       no standard handles at all
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

namespace {

std::string command_line(int first, int argc, char** argv) {
  std::string line;
  for (int i = first; i < argc; ++i) {
    if (!line.empty()) line += ' ';
    line += '"';
    line += argv[i];
    line += '"';
  }
  return line;
}

HANDLE inheritable_file(const char* path, bool write) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, &inherit,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int fail(const char* what) {
  const std::string text = std::string("launch: ") + what + "\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
            &written, nullptr);
  return 120;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return fail("usage: launch shared INPUT OUTPUT PROGRAM... | none PROGRAM...");
  const std::string mode = argv[1];
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  BOOL inherit = FALSE;
  DWORD flags = 0;
  int first = 2;
  if (mode == "shared") {
    if (argc < 5) return fail("shared needs INPUT OUTPUT PROGRAM");
    startup.hStdInput = inheritable_file(argv[2], false);
    startup.hStdOutput = startup.hStdError = inheritable_file(argv[3], true);
    if (startup.hStdInput == INVALID_HANDLE_VALUE || startup.hStdOutput == INVALID_HANDLE_VALUE) {
      return fail("cannot open the files");
    }
    inherit = TRUE;
    first = 4;
  } else if (mode == "none") {
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nullptr;
    flags = DETACHED_PROCESS;  // no console to fall back on either
  } else {
    return fail("unknown mode");
  }
  std::string line = command_line(first, argc, argv);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(argv[first], line.data(), nullptr, nullptr, inherit, flags, nullptr, nullptr,
                      &startup, &process)) {
    return fail("cannot start the program");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 120;
  GetExitCodeProcess(process.hProcess, &status);
  return static_cast<int>(status);
}
