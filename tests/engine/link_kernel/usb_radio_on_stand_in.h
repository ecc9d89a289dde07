#pragma once
// A simulated radio attached as a device of the USB stand-in, with the USB
// library opened and one application registered, as the program does.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/link/kernel.h"
#include "kernel_fixture.h"
#include "radio_on_com.h"  // Eventually
#include "pellwick/pellwick.h"
#include "quor_pst/quor_sim_control.h"
#include "radiosim/radio_simulator.h"
#include "radiosim/usb_front_end.h"

class UsbRadioOnStandIn {
 public:
  // Attaches the radio as device and waits until the library lists it on
  // the interface of the chip family. Use inside ASSERT_NO_FATAL_FAILURE.
  void Attach(radiosim::RadioConfig config, std::uint16_t device, int chipFamily) {
    config.link = radiosim::LinkKind::Usb;
    QuorSim_Reset();
    ASSERT_EQ(PWLInitializeEx(), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLRegisterApp(&program_), PWL_RC_SUCCESS);
    ASSERT_EQ(PWLInitPST(), PWL_RC_SUCCESS);
    radio_ = std::make_unique<radiosim::RadioSimulator>(config);
    usb_ = std::make_unique<radiosim::UsbFrontEnd>(*radio_);
    char path[256] = {};
    ASSERT_GT(QuorSim_SocketPath(path, sizeof path), 0);
    std::string error;
    ASSERT_TRUE(usb_->Attach(path, device, radiosim::UsbInterfacesFor(config.bootLoader), &error)) << error;
    const std::string interface = CKernel::GetUsbInterfaceName(chipFamily);
    ASSERT_TRUE(Eventually([&] {
      std::uint16_t ids[PWL_MAX_DEVICES] = {};
      int count = 0;
      return PWLGetDevicesEx(static_cast<std::uint16_t>(program_), interface.c_str(), &count, ids) ==
                 PWL_RC_SUCCESS &&
             count == 1;
    }));
  }
  // Detaches the radio and closes the library (after the kernel object went).
  void Close() {
    usb_.reset();
    PWLDeregisterApp(static_cast<std::uint16_t>(program_));
    PWLTerminatePST();
    PWLTerminateEx(0);
    QuorSim_Reset();
  }

  radiosim::RadioSimulator& radio() { return *radio_; }
  radiosim::UsbFrontEnd& front() { return *usb_; }

 private:
  std::int16_t program_ = -1;
  std::unique_ptr<radiosim::RadioSimulator> radio_;
  std::unique_ptr<radiosim::UsbFrontEnd> usb_;
};
