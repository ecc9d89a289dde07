#pragma once
// Turning a link-layer exception value into the engine error code that a
// device operation reports.

// 0..17 give 46..63; 18 gives 72; 19 gives 73; 20..27 give 64..71;
// 28 gives 74; anything else KERNEL_ERROR_UNKNOWN.
int LinkErrorToMessage(int linkError);
