#include "engine/core/job_option_values.h"

JobOptionValues DefaultJobOptionValues() {
  JobOptionValues v;
  v.commProtocol = 1;
  v.serialPort = 0;
  v.dataRate = 0;
  v.remotePort = 4000;
  v.dataRateDivisor = 0;
  v.productFilter = 0;
  v.overrideChecksum = 0;
  v.autoEraseFlash = 1;
  v.autoProgramMagicKey = 0;
  v.enableRemoteControl = 0;
  v.productFile = "Quor_Plover.qlp";
  v.productTag = "Vexa_Series";
  v.alwaysOnTop = 1;
  v.enableSmartFlashing = 1;
  return v;
}
