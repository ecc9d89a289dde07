#include "usb_testbed/radio_bridge.h"

namespace usbtestbed {

RadioBridge::RadioBridge(radiosim::RadioSimulator& radio, UsbdevfsDevice& device, int interfaceNumber)
    : radio_(radio),
      device_(device),
      outEndpoint_(static_cast<std::uint8_t>(0x01 + interfaceNumber)),
      inEndpoint_(static_cast<std::uint8_t>(0x81 + interfaceNumber)) {
  radio_.GetTranscript().Add("usb attached as usbdevfs device " + std::to_string(device.Devnum()));
  radio_.AttachHost(this);
  device_.SetBulkSink(this);
}

RadioBridge::~RadioBridge() {
  device_.SetBulkSink(nullptr);
  radio_.AttachHost(nullptr);
}

void RadioBridge::SendToHost(std::span<const std::uint8_t> bytes) { device_.SendToHost(inEndpoint_, bytes); }

void RadioBridge::FromHost(std::uint8_t endpoint, std::span<const std::uint8_t> bytes) {
  if (endpoint != outEndpoint_ || bytes.empty()) return;
  radio_.Receive(bytes, 0);
}

EchoBridge::EchoBridge(UsbdevfsDevice& device) : device_(device) { device_.SetBulkSink(this); }

EchoBridge::~EchoBridge() { device_.SetBulkSink(nullptr); }

void EchoBridge::FromHost(std::uint8_t endpoint, std::span<const std::uint8_t> bytes) {
  device_.SendToHost(static_cast<std::uint8_t>(endpoint | 0x80), bytes);
}

}  // namespace usbtestbed
