// .x images in the binary encoding.
#include "xfile_input.h"

FUZZ_TARGET(xfile_binary) { return fuzzx::ReadX(data, size, "bin "); }
