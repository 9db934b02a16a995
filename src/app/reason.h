// Messages that quote a library's reason for a failure.
#pragma once
#include <string>

namespace app {

// "what: reason." as one sentence. The full stop is added only where the reason has no closing
// mark of its own (SDL's reasons end with one, others do not); without a reason, "what." alone.
std::string WithReason(const std::string& what, const std::string& reason);

}  // namespace app
