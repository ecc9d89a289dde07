// The background-debug-mode line exports.

#include "bdm_device.h"
#include "gantrel/gantrel.h"

using namespace gantrel;

extern "C" {

void LPT_SET_BDM(void) { Bdm().ChangeShadow(kBdmBitClock, 0); }
void LPT_CLR_BDM(void) { Bdm().ChangeShadow(0, kBdmBitClock); }
void LPT_SET_DSCLK(void) { Bdm().ChangeShadow(0, kBdmBitClock); }
void LPT_CLR_DSCLK(void) { Bdm().ChangeShadow(kBdmBitClock, 0); }
void LPT_SET_DSI(void) { Bdm().ChangeShadow(kBdmBitDsi, 0); }
void LPT_CLR_DSI(void) { Bdm().ChangeShadow(0, kBdmBitDsi); }
void LPT_SET_RESET_FB(void) { Bdm().ChangeShadow(kBdmBitReset, 0); }
void LPT_CLR_RESET_FB(void) { Bdm().ChangeShadow(0, kBdmBitReset); }

int BdmGetDSO(void) { return Bdm().AppendRead(); }
int LPT_SEND_DATA(int gather, uint32_t* bits) { return Bdm().Send(gather != 0, bits); }

int LPTTestStatus(void) { return Bdm().Single(kBdmOpRead, 0); }
int BdmTestFreeze(void) {
  const int data = Bdm().Single(kBdmOpRead, 0);
  return data < 0 ? 0 : data & kBdmFrozen;
}
int BdmFreeze(void) {
  Bdm().Single(kBdmOpRead, 0);
  return 0;
}
int BdmClear(void) {
  const int data = Bdm().Single(kBdmOpClear, 0);
  return data < 0 ? 0 : data & kBdmFrozen;
}

}  // extern "C"
