// The questions asked in the middle of an operation when the stored word says "always ask", and
// the first-run usage question: one dialog per file.
#pragma once

#include "shell/ui/oversize_insert_dialog.h"
#include "shell/ui/palette_merge_dialog.h"
#include "shell/ui/usage_question_dialog.h"
