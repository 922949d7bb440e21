// The one place where the platform half of the OS layer is chosen.
#include "textio/os.hpp"

#if defined(_WIN32)
#include "Windows/os.inc"
#else
#include "Unix/os.inc"
#endif
