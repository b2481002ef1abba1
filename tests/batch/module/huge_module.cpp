// A video module the loader cannot map for lack of memory, as FFmpeg's libraries when a limit on
// the process leaves them no room: its zero-filled data asks for more than any system holds.
__attribute__((used)) char huge_zero_fill[1ull << 40];
