#pragma once
// The device mutex "Mutex for Quor USB device". Nothing in the library takes
// it, so its handle stays unset: a wait fails with -20 and a release fails
// with 0, as the exports that use them report.

namespace pellwick {

inline constexpr const char* kDeviceMutexName = "Mutex for Quor USB device";

int WaitDeviceMutex(int osClass);
int ReleaseDeviceMutex();

}  // namespace pellwick
