#pragma once
// Ending the process from anywhere in it.

namespace tw {

// Flushes the standard streams and ends the process with `status` at once.
// Static destructors are skipped on purpose: background threads may still be
// using process-wide objects.
[[noreturn]] void prozessBeenden(int status);

}  // namespace tw
