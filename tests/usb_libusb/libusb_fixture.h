#pragma once
// A libusb context over the USB test bed. The test bed comes first and
// goes last: libusb must have closed its device nodes before umockdev
// stops serving them.

#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <functional>
#include <memory>

#include "usb_testbed/usb_testbed.h"

namespace usblibusb_test {

class LibusbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(usbtestbed::UsbTestbed::Preloaded()) << "run under umockdev's preload library (ctest sets LD_PRELOAD)";
    testbed_ = std::make_unique<usbtestbed::UsbTestbed>();
  }
  void TearDown() override {
    CloseAll();
    if (ctx_) libusb_exit(ctx_);
    ctx_ = nullptr;
    testbed_.reset();
  }

  void InitLibusb() { ASSERT_EQ(libusb_init(&ctx_), 0); }

  // The device at the root hub's port, found through libusb's own list.
  libusb_device* FindAtPort(int port) {
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(ctx_, &list);
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < n; ++i) {
      std::uint8_t ports[8];
      const int depth = libusb_get_port_numbers(list[i], ports, 8);
      if (libusb_get_bus_number(list[i]) == 1 && depth == 1 && ports[0] == port) found = libusb_ref_device(list[i]);
    }
    libusb_free_device_list(list, 1);
    return found;
  }

  libusb_device_handle* Open(int port) {
    libusb_device* device = FindAtPort(port);
    if (!device) return nullptr;
    libusb_device_handle* handle = nullptr;
    const int r = libusb_open(device, &handle);
    libusb_unref_device(device);
    if (r != 0) return nullptr;
    handles_.push_back(handle);
    return handle;
  }

  void Close(libusb_device_handle* handle) {
    std::erase(handles_, handle);
    libusb_close(handle);
  }
  void CloseAll() {
    for (auto* h : handles_) libusb_close(h);
    handles_.clear();
  }

  // Runs libusb's event handling until done() or the deadline.
  bool HandleEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      timeval tv{0, 50000};
      libusb_handle_events_timeout_completed(ctx_, &tv, nullptr);
    }
    return true;
  }

  std::unique_ptr<usbtestbed::UsbTestbed> testbed_;
  libusb_context* ctx_ = nullptr;
  std::vector<libusb_device_handle*> handles_;
};

}  // namespace usblibusb_test
