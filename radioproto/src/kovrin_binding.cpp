#include "kovrin_binding.h"

namespace gantrel {

template <class F>
static void BindEntry(const platform::DynamicLibrary& module, const char* name, F& entry) {
  entry = module.Function<F>(name);
}

bool KovrinBinding::Bind(const std::string& libraryName) {
  Unbind();
  module_ = platform::DynamicLibrary::Load(libraryName);
  if (!module_) return false;
  const auto& m = *module_;
  auto& e = entries_;
  BindEntry(m, "KovrinInitialize", e.Initialize);
  BindEntry(m, "KovrinTerminate", e.Terminate);
  BindEntry(m, "KovrinStart", e.Start);
  BindEntry(m, "KovrinStop", e.Stop);
  BindEntry(m, "KovrinSetAppshWnd", e.SetAppshWnd);
  BindEntry(m, "KovrinSetDeviceNotificationEvent", e.SetDeviceNotificationEvent);
  BindEntry(m, "KovrinSubscribeThreadMessage", e.SubscribeThreadMessage);
  BindEntry(m, "KovrinUnsubscribeThreadMessage", e.UnsubscribeThreadMessage);
  BindEntry(m, "KovrinGetModemCommPort", e.GetModemCommPort);
  BindEntry(m, "KovrinGetRS232Ports", e.GetRS232Ports);
  BindEntry(m, "KovrinGetModemCOMPortFromUSBPortID", e.GetModemCOMPortFromUSBPortID);
  BindEntry(m, "KovrinGetUSBDevInterfaceFromUSBPort", e.GetUSBDevInterfaceFromUSBPort);
  BindEntry(m, "KovrinGetBulkInEndpointMaxPacketSizeEx", e.GetBulkInEndpointMaxPacketSizeEx);
  BindEntry(m, "KovrinGetBulkOutEndpointMaxPacketSizeEx", e.GetBulkOutEndpointMaxPacketSizeEx);
  BindEntry(m, "KovrinGetSmartphoneList", e.GetSmartphoneList);
  BindEntry(m, "KovrinGetUSBDeviceConnectedPorts", e.GetUSBDeviceConnectedPorts);
  BindEntry(m, "KovrinGetUSBMdmConnectedUSBPort", e.GetUSBMdmConnectedUSBPort);
  BindEntry(m, "KovrinGetProductName", e.GetProductName);
  BindEntry(m, "KovrinGetDevDesc", e.GetDevDesc);
  BindEntry(m, "KovrinGetTotalUSBPortsOnPC", e.GetTotalUSBPortsOnPC);
  BindEntry(m, "KovrinDeviceIsHub", e.DeviceIsHub);
  BindEntry(m, "KovrinCheckTestCmdEPUsage", e.CheckTestCmdEPUsage);
  return true;
}

void KovrinBinding::Unbind() {
  entries_ = KovrinEntries{};
  module_.reset();
}

}  // namespace gantrel
