#pragma once
// Connects a simulated radio to a device of the USB test bed: what the
// host writes on the interface's bulk OUT endpoint goes to the radio as
// USB bytes, and what the radio sends goes out on the bulk IN endpoint.
// This is the radio's USB side, as the stand-in's device process carries
// it over its socket, here carried by usbdevfs URBs instead.

#include <cstdint>
#include <span>

#include "radiosim/host_link.h"
#include "radiosim/radio_simulator.h"
#include "usb_testbed/usbdevfs_device.h"

namespace usbtestbed {

class RadioBridge : public radiosim::HostLink, public BulkSink {
 public:
  // Bridges the interface's endpoints (0x01 + n OUT, 0x81 + n IN).
  RadioBridge(radiosim::RadioSimulator& radio, UsbdevfsDevice& device, int interfaceNumber = 0);
  ~RadioBridge() override;
  RadioBridge(const RadioBridge&) = delete;
  RadioBridge& operator=(const RadioBridge&) = delete;

  void SendToHost(std::span<const std::uint8_t> bytes) override;
  void FromHost(std::uint8_t endpoint, std::span<const std::uint8_t> bytes) override;

 private:
  radiosim::RadioSimulator& radio_;
  UsbdevfsDevice& device_;
  std::uint8_t outEndpoint_;
  std::uint8_t inEndpoint_;
};

// Sends every bulk OUT transfer back unchanged on the matching IN endpoint.
class EchoBridge : public BulkSink {
 public:
  explicit EchoBridge(UsbdevfsDevice& device);
  ~EchoBridge() override;
  void FromHost(std::uint8_t endpoint, std::span<const std::uint8_t> bytes) override;

 private:
  UsbdevfsDevice& device_;
};

}  // namespace usbtestbed
