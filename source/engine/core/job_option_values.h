#pragma once
// Every settable scalar and string option of CJobOptions at once, in field
// order (ids 0, 1, 3, 5, 6, 21, 8, 9, 10, 11, strings 12 to 14, ids 15 to
// 20). The baud rate and the serial port name are not part of it: they
// follow from the data-rate and serial-port indices.

#include <string>

struct JobOptionValues {
  int commProtocol = 0;            // id 0
  int serialPort = 0;              // id 1
  int dataRate = 0;                // id 3
  int remotePort = 0;              // id 5
  int dataRateDivisor = 0;         // id 6
  int productFilter = 0;           // id 21
  int overrideChecksum = 0;        // id 8
  int autoEraseFlash = 0;          // id 9
  int autoProgramMagicKey = 0;     // id 10
  int enableRemoteControl = 0;     // id 11
  std::string productFile;         // id 12
  std::string productTag;          // id 13
  std::string server;              // id 14
  int orvixEnableChipSelection = 0;  // id 15
  int orvixChipSelect = 0;         // id 16
  int orvixChipOffset = 0;         // id 17
  int orvixProgrammingOption = 0;  // id 18
  int alwaysOnTop = 0;             // id 19
  int enableSmartFlashing = 0;     // id 20

  bool operator==(const JobOptionValues&) const = default;
};

// The values that the configuration step puts in before the configuration
// file is read. The server has no built-in value; the configuration names it.
JobOptionValues DefaultJobOptionValues();
