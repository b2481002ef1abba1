// The selection and frame-order edits moved to the engine; this name stays for the strip.
#pragma once

#include "shell/frame_edit.h"
