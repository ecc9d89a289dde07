#pragma once
// Ties a child process's life to its parent's.

namespace platform {

// Has the system end the calling process (SIGKILL) once the thread that
// started it has ended, so a test or benchmark that crashes leaves none of
// the programs it started running. Meant for a child between its fork and
// its exec (it only makes one system call); the setting survives the exec.
void EndWithParent();

}  // namespace platform
