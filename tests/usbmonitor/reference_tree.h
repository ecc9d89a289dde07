#pragma once
// The reference tree: a root hub and an external hub with a port for every
// classification case, an empty port first below the hub, an unreadable
// port, a modem whose tty is a pseudo-terminal (COM7), a composite device
// with its modem on interface 2 (COM8), another maker's device, a maker
// device of no known kind, malformed descriptors, a smartphone on a port
// beyond the table's 127 places, and 131 ports in all.
//
//   usb1 port 1  modem 1d07:0020            -> port 0
//        port 2  empty                      -> port 1
//        port 3  unreadable ids             -> no number
//        port 4  hub 1-4 (124 ports), no number for itself:
//                1-4.1 empty                -> port 2
//                1-4.2 Q9t 1d07:0021        -> port 3
//                1-4.3 Quor Interface       -> port 4 (present, not counted)
//                1-4.4 Flash Interface      -> port 5
//                1-4.5 smartphone           -> port 6
//                1-4.6 composite 1d07:0040  -> port 7
//                1-4.7 another maker's hub-named device -> port 8
//                1-4.8 maker device of no known kind    -> port 9
//                1-4.9 3e61 composite, malformed descriptors -> port 10
//                1-4.10 .. 1-4.124 empty    -> ports 11 .. 125
//        port 5  empty                      -> port 126
//        port 6, 7 empty                    -> counted, no entry
//        port 8  smartphone                 -> counted, no entry

#include <string>

#include "fake_usb_tree.h"

namespace kovrin_test {

inline const std::string kLongProduct = "USB2.0 Hub Controller " + std::string(300, 'x');

struct ReferenceTree {
  std::string root;
  std::string hub;
  std::string modem;
  std::string q9t;
  std::string smartphone;
  std::string composite;
  std::string modemTty;      // COM7
  std::string compositeTty;  // COM8
};

inline DeviceSpec ModemSpec(const std::string& tty) {
  DeviceSpec s;
  s.vendor = "1d07";
  s.product = "0020";
  s.release = 0x0001;
  s.deviceClass = 0x02;
  s.manufacturer = "Corvane";
  s.productText = "Quor USB Modem";
  s.manufacturerIndex = 1;
  s.productIndex = 2;
  s.interfaces = {{0, 0x02, 0, "", tty, {{0x83, 3, 16}}},
                  {1, 0x0a, 0, "", "", {{0x81, 2, 64}, {0x02, 2, 64}}}};
  return s;
}

inline DeviceSpec SimpleSpec(const std::string& vendor, const std::string& product, const std::string& text) {
  DeviceSpec s;
  s.vendor = vendor;
  s.product = product;
  s.deviceClass = 0xFF;
  s.manufacturer = "Corvane";
  s.productText = text;
  s.manufacturerIndex = 1;
  s.productIndex = 2;
  s.interfaces = {{0, 0xFF, 0, "", "", {{0x81, 2, 512}, {0x01, 2, 512}}}};
  return s;
}

inline DeviceSpec CompositeSpec(const std::string& tty) {
  DeviceSpec s;
  s.vendor = "1d07";
  s.product = "0040";
  s.deviceClass = 0x00;
  s.manufacturer = "Corvane";
  s.productText = "Multi Radio";
  s.manufacturerIndex = 1;
  s.productIndex = 2;
  s.interfaces = {{0, 0xFF, 4, "Corvane Test Command", "", {{0x81, 2, 512}, {0x01, 2, 256}}},
                  {1, 0xFF, 5, "Corvane Data", "", {{0x82, 2, 64}, {0x02, 2, 32}}},
                  {2, 0x02, 0, "", tty, {{0x83, 3, 16}}}};
  return s;
}

inline ReferenceTree BuildReferenceTree(FakeUsbTree& t, const std::string& modemTty, const std::string& compositeTty) {
  ReferenceTree r;
  r.modemTty = modemTty;
  r.compositeTty = compositeTty;
  r.root = t.AddRootHub(1, 8);
  r.modem = t.AddDevice(r.root, "1-1", ModemSpec(modemTty));
  DeviceSpec unreadable = SimpleSpec("zzzz", "0021", "Q9t");
  t.AddDevice(r.root, "1-3", unreadable);
  r.hub = t.AddHub(r.root, "1-4", 124);
  r.q9t = t.AddDevice(r.hub, "1-4.2", SimpleSpec("1d07", "0021", "Q9t Radio"));
  t.AddDevice(r.hub, "1-4.3", SimpleSpec("1d07", "0022", "Quor Interface"));
  t.AddDevice(r.hub, "1-4.4", SimpleSpec("1d07", "0023", "Flash Interface"));
  r.smartphone = t.AddDevice(r.hub, "1-4.5", SimpleSpec("1d07", "0030", "Smartphone X"));
  r.composite = t.AddDevice(r.hub, "1-4.6", CompositeSpec(compositeTty));
  DeviceSpec other = SimpleSpec("0bda", "8153", kLongProduct);
  other.manufacturer = "Realtek";
  other.interfaces = {{0, 0x09, 0, "", "", {{0x81, 3, 8}}}};
  t.AddDevice(r.hub, "1-4.7", other);
  t.AddDevice(r.hub, "1-4.8", SimpleSpec("1d07", "0099", "Widget"));
  DeviceSpec broken = SimpleSpec("3e61", "0100", "Composite");
  broken.malformedDescriptors = true;
  t.AddDevice(r.hub, "1-4.9", broken);
  t.AddDevice(r.root, "1-8", SimpleSpec("1d07", "0030", "Smartphone Far"));
  return r;
}

}  // namespace kovrin_test
