// libKovrin.so as its callers find it: loaded by name, with every export.
#include <gtest/gtest.h>

#include "kovrin/kovrin.h"
#include "platform/dynamic_library.h"

namespace kovrin_test {
namespace {

TEST(LoadByName, EveryExportIsFound) {
  std::string error;
  auto library = platform::DynamicLibrary::Load("Kovrin.dll", &error);
  ASSERT_TRUE(library) << error;
  const char* names[] = {
      "KovrinInitialize", "KovrinTerminate", "KovrinStart", "KovrinStop", "KovrinSetDeviceNotificationEvent",
      "KovrinSetAppshWnd", "KovrinClearAppshWnd", "KovrinSubscribeThreadMessage", "KovrinUnsubscribeThreadMessage",
      "KovrinGetDeviceList", "KovrinGetDeviceUSBPortID", "KovrinGetModemCommPort", "KovrinGetRS232Ports",
      "KovrinGetModemCOMPortFromUSBPortID", "KovrinGetUSBDevInterfaceFromUSBPort",
      "KovrinGetBulkInEndpointMaxPacketSize", "KovrinGetBulkOutEndpointMaxPacketSize",
      "KovrinGetBulkOutEndpointMaxPacketSizeEx", "KovrinGetBulkInEndpointMaxPacketSizeEx", "KovrinGetSmartphoneList",
      "KovrinGetUSBDeviceConnectedPorts", "KovrinWaitForDeviceEnum", "KovrinGetDeviceRemovePort",
      "KovrinGetIntfStringDesc", "KovrinIdentifyDevice", "KovrinGetProductName", "KovrinGetUSBMdmConnectedUSBPort",
      "KovrinGetDevDesc", "KovrinGetTotalUSBPortsOnPC", "KovrinDeviceIsHub", "KovrinCheckTestCmdEPUsage",
      "KovrinGetVendorProductIDs"};
  EXPECT_EQ(std::size(names), 32u);
  for (const char* name : names) EXPECT_NE(library->Symbol(name), nullptr) << name;

  auto terminate = library->Function<decltype(&KovrinTerminate)>("KovrinTerminate");
  ASSERT_NE(terminate, nullptr);
  EXPECT_EQ(terminate(1), KOVRIN_NOT_INITIALIZED);
}

}  // namespace
}  // namespace kovrin_test
