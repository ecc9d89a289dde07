#pragma once
// Fake USB trees for the monitor's tests: sysfs devices and attributes in a
// umockdev test bed, and uevents sent into it. The test program runs under
// umockdev's preload library (see CMakeLists.txt), so libudev in this
// process reads the test bed instead of the machine's tree.

#include <cstdint>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace kovrin_test {

// Descriptor bytes as the system keeps them: the device descriptor and one
// configuration block.
struct EndpointSpec {
  std::uint8_t address;
  std::uint8_t attributes;  // 2 bulk, 3 interrupt
  std::uint16_t maxPacketSize;
};
struct InterfaceSpec {
  int number = 0;
  int interfaceClass = 0xFF;
  std::uint8_t stringIndex = 0;
  std::string text;     // the interface string the system shows
  std::string ttyNode;  // a tty below the interface (a pseudo-terminal's path)
  std::vector<EndpointSpec> endpoints;
};
struct DeviceSpec {
  std::string vendor = "1d07";  // as the attribute holds it; "zzzz" cannot be read
  std::string product = "0021";
  std::uint16_t release = 0x0001;
  int deviceClass = 0;
  std::string manufacturer;
  std::string productText;
  std::string serial;
  std::uint8_t manufacturerIndex = 0;
  std::uint8_t productIndex = 0;
  std::uint8_t serialIndex = 0;
  std::vector<InterfaceSpec> interfaces;
  bool malformedDescriptors = false;
};

std::vector<std::uint8_t> DescriptorBytes(const DeviceSpec& spec);

class FakeUsbTree {
 public:
  FakeUsbTree();
  ~FakeUsbTree();
  FakeUsbTree(const FakeUsbTree&) = delete;
  FakeUsbTree& operator=(const FakeUsbTree&) = delete;

  // Whether this process runs with umockdev's preload library.
  static bool Preloaded();

  std::string AddRootHub(int bus, int ports, int speedMbps = 480);
  std::string AddHub(const std::string& parent, const std::string& sysname, int ports);
  std::string AddDevice(const std::string& parent, const std::string& sysname, const DeviceSpec& spec);
  // A serial port of the machine: a tty below a platform device.
  std::string AddSerialPort(const std::string& name, const std::string& devnode, const std::string& type);
  // A tty below an interface, its device node the given path.
  std::string AddTty(const std::string& interfaceSyspath, const std::string& name, const std::string& devnode);
  void Remove(const std::string& syspath);
  void Uevent(const std::string& syspath, const char* action);

 private:
  std::string AddUsbDevice(const std::string& parent, const std::string& sysname,
                           const std::vector<std::string>& attributes, const std::string& productProperty);

  UMockdevTestbed* testbed_ = nullptr;
  int nextDevnum_ = 2;
  std::string platformParent_;
};

}  // namespace kovrin_test
