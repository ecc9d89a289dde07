#pragma once
// The application's exception. Code that cannot go on logs its own error
// line first and then throws this value (0); the handler of the request that
// started the work catches it and reports the failure.

enum QUILLON_EXCEPTION : int {
  QUILLON_ERROR = 0,
};
