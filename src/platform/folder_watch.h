// Change notifications for the files directly inside one folder (the folder's subfolders are
// not watched), for a thread that waits on them.
#pragma once

#include <string>
#include <vector>

namespace lw {

struct FolderEvent {
  std::string name;   // the file's name inside the folder
  bool done = false;  // written and closed, or renamed into place; otherwise being changed
};

class FolderWatch {
 public:
  FolderWatch() = default;
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // False when the system refuses the notifications.
  bool Open(const std::string& folder);
  // Waits up to timeoutMs for changes and appends them: 1 changes came, 0 the time ran out,
  // -1 the notifications failed, -2 Interrupt was called.
  int Wait(int timeoutMs, std::vector<FolderEvent>* events);
  // Wakes a Wait of another thread, and every later one; safe from any thread.
  void Interrupt();

 private:
  int notify_ = -1;
  int wake_ = -1;
};

}  // namespace lw
