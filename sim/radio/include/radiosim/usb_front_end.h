#pragma once
// Serves one simulated radio as a device of the USB stand-in: it connects
// to the stand-in's device socket, attaches under a device id with its
// interfaces, and then carries the raw bulk bytes both ways. Closing the
// connection unplugs the device.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket.h"
#include "radiosim/host_link.h"
#include "radiosim/radio_simulator.h"

namespace radiosim {

// The interfaces a radio of the given boot loader offers: the Calder radio
// is reached on "Corvane_Boot", every other on "Corvane_Flash".
std::vector<std::string> UsbInterfacesFor(BootLoaderType type);

class UsbFrontEnd : public HostLink {
 public:
  explicit UsbFrontEnd(RadioSimulator& radio);
  ~UsbFrontEnd() override;
  UsbFrontEnd(const UsbFrontEnd&) = delete;
  UsbFrontEnd& operator=(const UsbFrontEnd&) = delete;

  // Attaches as the device id with the interfaces; false (with *error
  // saying why) when the socket is not there or the stand-in refuses.
  bool Attach(const std::string& socketPath, int deviceId, const std::vector<std::string>& interfaces,
              std::string* error = nullptr);
  // Unplugs the device.
  void Detach();
  bool Attached() const { return running_; }

  void SendToHost(std::span<const std::uint8_t> bytes) override;

 private:
  void Serve();

  RadioSimulator& radio_;
  platform::Socket socket_;
  std::thread thread_;
  std::atomic<bool> running_{false};
};

}  // namespace radiosim
