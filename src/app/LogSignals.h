#pragma once
// The signals of a logger run. SIGINT and SIGTERM make a pipe readable, so that the run's own
// event loop ends it with the file complete; SIGPIPE is ignored, so that a reader that has
// gone away is a failed write, told as such, instead of a silent death.

namespace vexal {

// Ignores SIGPIPE. Called before anything is written, the header included.
void ignoreBrokenPipes();

// Installs the SIGINT and SIGTERM handlers. Returns the pipe's read end, which becomes
// readable when one of them arrives, or -1 (errno says why).
int catchEndSignals();

}  // namespace vexal
