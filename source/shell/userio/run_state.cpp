#include "shell/userio/run_state.h"

const char* RunStateWord(RunState state) {
  switch (state) {
    case RUN_IDLE: return "IDLE";
    case RUN_BUSY: return "BUSY";
    case RUN_DONE: return "DONE";
    case RUN_ERROR: return "ERROR";
  }
  return "";
}
