// Starting other programs and asking whether a process still runs.
#pragma once

#include <string>
#include <vector>

namespace lw {

// Starts argv[0] (looked up on PATH when it holds no '/') with the arguments, detached from this
// process: it outlives us and is never left as a zombie. False when it could not be started.
bool StartDetached(const std::vector<std::string>& argv);

int CurrentProcessId();
// True while a process of that id exists (also one of another user).
bool ProcessRunning(int pid);

}  // namespace lw
