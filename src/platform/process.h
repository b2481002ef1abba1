// Starting other programs and asking whether a process still runs.
#pragma once

#include <string>
#include <vector>

namespace lw {

// Starts argv[0] (looked up on PATH when it holds no '/') with the arguments, detached from this
// process: it outlives us and is never left as a zombie. False when it could not be started.
bool StartDetached(const std::vector<std::string>& argv);

// Starts argv detached as StartDetached does, under a watcher that writes the program's exit
// code (one byte; 127 when it could not run) into the pipe whose read end it returns, for the
// caller to poll; -1 when nothing could be started. FinishWatched reads that code (a watcher
// gone without a word counts as 127), closes the pipe and reaps the watcher.
int StartWatched(const std::vector<std::string>& argv, int* watcher);
int FinishWatched(int pipe, int watcher);

int CurrentProcessId();
// True while a process of that id exists (also one of another user).
bool ProcessRunning(int pid);

}  // namespace lw
