#pragma once
// The lines that tell, under the device's name, how Flash Software ended:
// the radio's model and firmware version, the update's, and whether the
// radio is being updated or was left as it is, and why.

#include <optional>
#include <string>

#include "engine/core/device_number.h"
#include "shell/update/firmware_identity.h"

// A version (16 hex characters) as it reads: its bytes when all of them are
// printable ("V1.00.00"), else the hex text itself.
std::string ReadableVersion(const std::string& versionHex);

class UpdateLog {
 public:
  explicit UpdateLog(DeviceNumber device) : device_(device) {}

  // What was read out of the read-back and out of the update files (the
  // update's line only when they were looked at).
  void Compared(const std::optional<FirmwareIdentity>& radio, const std::optional<FirmwareIdentity>& update) const;
  // The update was refused: why the radio keeps what it has.
  void NotUpdated(const std::optional<FirmwareIdentity>& radio, const std::optional<FirmwareIdentity>& update) const;
  // The update's images were queued (all, some or none of them).
  void Updating(const FirmwareIdentity& radio, const FirmwareIdentity& update, int queued, int total) const;
  // What the core thread logs when the update's last job ends well, or is
  // cancelled (then with the images before it that still waited).
  std::string UpdatedNote(const FirmwareIdentity& radio, const FirmwareIdentity& update) const;
  std::string CancelledNote(const FirmwareIdentity& update) const;

 private:
  void Line(const std::string& text) const;

  DeviceNumber device_;
};
