// .x images in the text encoding.
#include "xfile_input.h"

FUZZ_TARGET(xfile_text) { return fuzzx::ReadX(data, size, "txt "); }
