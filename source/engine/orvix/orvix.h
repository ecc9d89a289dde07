#pragma once
// The GPS-chip device object. The GPS receiver chip of a Harrow radio hangs
// on the radio's second serial port (UART B); the radio's flashing kernel
// hands that port through to the PC's serial port, and the GPS-chip flash
// library then talks to the chip over the same COM port. Each operation
// opens the kernel link, brings the chip within reach, runs one library
// session and puts both UARTs back at the kernel's working rate.
//
// One object serves every device: the core processing thread sets it up
// before each GPS-chip job. Operations run over RS232 only.

#include <cstdint>
#include <string>
#include <thread>

#include "engine/core/device_event.h"
#include "engine/core/device_number.h"
#include "engine/link/kernel.h"
#include "platform/event.h"

class CRegionList;

// What a GPS-chip job passes to the object.
struct OrvixSettingsRecord {
  DeviceNumber device = 0;
  int baudRate = 0;
  int baudDivisor = 1;
  int comPort = 0;
  KernelImageSlot harrowKernel;
  DeviceEventCallback callback;
  std::uint32_t chipSelect = 0;
  std::uint32_t chipOffset = 0;
  std::uint32_t programmingOption = 0;
  int chipSelectionEnabled = 0;
};

class COrvix : public CKernel {
 public:
  // The fastest rate the GPS chip's side runs at.
  static constexpr int kMaxDataRate = 230400;
  // The rate the GPS chip answers at before a session sets its own.
  static constexpr int kChipProbeRate = 38400;

  COrvix();
  ~COrvix() override;

  // 3 while an operation runs; otherwise the result of setting up the
  // kernel side (chip family Harrow over RS232, the rate capped).
  int LoadSettings(const OrvixSettingsRecord& settings);

  // Starters: 3 while busy (nothing changes), 12 for a mode other than 0
  // (inline) and 1 (own thread).
  int StartErase(int mode);
  int StartProgram(const std::string& imageFile, int mode);
  // Reads the range of the list's first region into a new buffer in its
  // place; the list travels in the read's events.
  int StartRead(CRegionList* regions, int mode);

  // The rate code of a UART rate command: 1 from 230400 up, else 0.
  static std::uint8_t RateCode(int dataRate) { return dataRate >= kMaxDataRate ? 1 : 0; }

 private:
  // Which library call the progress thread follows.
  enum class Watch { Program, Read };

  // Polls the library's progress while it lives; joined at its end.
  class ProgressThread {
   public:
    ProgressThread(COrvix& owner, Watch watch);
    ~ProgressThread();
    ProgressThread(const ProgressThread&) = delete;
    ProgressThread& operator=(const ProgressThread&) = delete;

   private:
    COrvix& owner_;
    std::thread thread_;
  };

  int RunErase();
  int RunProgram();
  int RunRead();
  // Opens the kernel link, reports the operation's first event and runs
  // the library step in its session.
  template <class Step>
  int RunOperation(DeviceEventCode firstEvent, std::int64_t total, Step step);
  // Opens the session, runs the library step and closes the session; on a
  // failure after the probe the session is ended and both rates restored
  // as far as the radio lets us, and the first error is kept.
  template <class Step>
  int RunSession(Step step);

  int OrvixInit();
  int ProbeChip();
  int EnterPassThrough();
  int SetUartRates(int channelRate, std::uint8_t rateCode);
  int OrvixTerminate();
  void RestoreAfterFailure();
  int OpenLibrarySession(int rate, bool keepIdentity);
  int CheckAmbrelResult(int code);
  int ReadChip();

  void PollProgress(Watch watch);

  std::string imageFile_;
  CRegionList* regions_ = nullptr;
  std::uint32_t chipSelect_ = 0;
  std::uint32_t chipOffset_ = 0;
  std::uint32_t programmingOption_ = 0;
  int chipSelectionEnabled_ = 0;
  int comPort_ = 0;
  int dataRate_ = 0;
  int divisor_ = 1;

  // The rate the radio's host side (UART A) runs at now, as far as the
  // steps have moved it: the rate a channel must use to reach the kernel.
  int radioHostRate_ = 0;

  // Ends the progress thread; set while the watched library call runs.
  platform::Event stopEvent_{platform::Event::Reset::Auto};
  platform::Event callRunning_{platform::Event::Reset::Manual};

  std::string libraryVersion_;
  std::string flashVendor_;
  std::string flashPartName_;
  std::uint32_t flashSize_ = 0;
  std::string lastLibraryErrorText_;
  int lastLibraryError_ = 0;
};
