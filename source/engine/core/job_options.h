#pragma once
// The options that steer an operation, read and written by option id behind
// the record's own lock.
//
// The program keeps one shared CAppSettings (derived from this class); every
// queued job receives its own copy, taken when the job is built, so later
// changes of the shared settings never reach a queued job. Copying locks the
// source (and the destination) for the duration of the copy; the lock itself
// is never copied.

#include <cstdint>
#include <mutex>
#include <string>

#include "engine/core/job_option_ids.h"
#include "engine/core/job_option_values.h"
#include "engine/core/sector_list.h"

class CJobOptions {
 public:
  // All integer options 0, data rate and serial port at index 0 (115200,
  // "COM1"), empty strings and an empty sector list.
  CJobOptions();
  // A copy of every option, the sector list and its two names; the baud rate
  // is recomputed from the data-rate index and the serial port name from the
  // serial port index, so a baud rate set directly through id 4 is not
  // carried over.
  CJobOptions(const CJobOptions& other);
  CJobOptions& operator=(const CJobOptions& other);
  virtual ~CJobOptions() = default;

  // The integer option; id 7 is the divisor of the divisor index. An id that
  // holds no integer gives 0.
  int GetIntParam(int id) const;
  // Sets an integer option; false (and nothing changes) for ids 2, 7, 12 to
  // 14 and unknown ids. Id 1 also rewrites the serial port name; id 3 also
  // sets the baud rate; id 4 sets the baud rate only. A data-rate or divisor
  // index outside its table keeps the default index (and gives false).
  bool SetIntParam(int id, int value);
  // Id 2 gives the device path of the serial port, ids 12 to 14 the string
  // options; false (out cleared) for every other id.
  bool GetStringParam(int id, std::string& out) const;
  std::string GetStringParam(int id) const;
  // Ids 12 to 14; false for every other id.
  bool SetStringParam(int id, const std::string& value);

  // Copies the sector list and its two names into out.
  void GetSectorList(SectorList& out) const;
  SectorList GetSectorList() const;
  void SetSectorList(const SectorList& in);

  // Reads or writes every settable option at once. SetAllParams also
  // recomputes the baud rate and the serial port name from their indices.
  void CopyParams(JobOptionValues& out) const;
  JobOptionValues CopyParams() const;
  void SetAllParams(const JobOptionValues& values);

  // The chip family of this record's processor name.
  int ChipFamilyFromName() const;

 private:
  void SetDataRateLocked(int index);
  void SetSerialPortLocked(int index);
  void SetDivisorLocked(int index);
  void DeriveLocked();

  mutable std::mutex lock_;
  SectorList sectors_;
  std::uint32_t baudRate_ = kDataRateTable[kDefaultDataRateIndex];
  std::string serialPortName_;
  JobOptionValues values_;
};

// "CALDER" gives 3, "HARROW" 1, "BISEL" 2 (compared exactly), every other
// name 0.
int ChipFamilyFromName(const std::string& processorName);
// The baud rate of a data-rate index and the divisor of a divisor index;
// an index outside its table gives the default's value.
std::uint32_t BaudRateOfDataRate(int index);
int DivisorOfIndex(int index);
