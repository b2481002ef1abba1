// The undo round trip: a command runs, undo gives back the document exactly as it was, and
// redo the document exactly as the command left it.
#pragma once

#include <gtest/gtest.h>

#include <type_traits>

#include "core/animation.h"
#include "core/undo.h"
#include "support/document.h"

namespace lw::test {

// An empty undo history of `levels` for a test's life, emptied again at its end.
struct FreshUndoHistory {
  explicit FreshUndoHistory(uint32_t levels = 20) {
    SetUndoLimit(levels);
    ClearHistory();
  }
  ~FreshUndoHistory() {
    ClearHistory();
    SetUndoLimit(20);
  }
};

// The command returns whether it did anything (or nothing at all: then it must have).
template <typename F>
::testing::AssertionResult UndoRedoRestores(Animation& document, F command) {
  AnimationPtr before = DuplicateAnimation(document, nullptr);
  if constexpr (std::is_same_v<decltype(command()), void>) {
    command();
  } else if (!command()) {
    return ::testing::AssertionFailure() << "the command did nothing";
  }
  AnimationPtr after = DuplicateAnimation(document, nullptr);
  if (Undo(document) == 0) return ::testing::AssertionFailure() << "nothing to undo";
  if (auto same = SameAnimation(document, *before); !same) return same << "(after undo)";
  if (Redo(document) == 0) return ::testing::AssertionFailure() << "nothing to redo";
  if (auto same = SameAnimation(document, *after); !same) return same << "(after redo)";
  return ::testing::AssertionSuccess();
}

}  // namespace lw::test
