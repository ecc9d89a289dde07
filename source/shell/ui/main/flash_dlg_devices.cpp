#include "shell/ui/main/flash_dlg.h"

// The device rows: the devices found at start-up, USB arrivals and removals,
// the status records of running jobs, and the grid's effects carried out
// (posts, menu state, repaints, the window's height).

#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "pellwick/pellwick.h"
#include "shell/grid/usb_change_event.h"
#include "shell/log/post_log_line.h"
#include "shell/ui/grid/device_grid_view.h"
#include "shell/ui/main/smartphone_ports.h"
#include "shell/ui/main/table_message.h"

namespace {

constexpr int kWidestUsbIndex = 126;
constexpr int kSmartphoneKind = 3;
// The empty grid's line: with RS232 the serial port always has its row.
constexpr const char* kNoRadioFoundText =
    "No radio found on USB. For a radio on a serial port, choose RS232 in Tools \u2192 Options.";

std::string Format(const char* format, int value) {
  char line[256];
  std::snprintf(line, sizeof line, format, value);
  return line;
}

}  // namespace

void CFlashDlg::InitStatusGrid() {
  std::vector<DeviceNumber> devices;
  CAppSettings& settings = GetAppSettings();
  if (settings.GetAppInt(APP_INT_USB_AVAILABLE) == 1) {
    const auto app = static_cast<std::uint16_t>(settings.GetAppInt(APP_INT_USB_APP_HANDLE));
    std::array<std::uint16_t, 2 * PWL_MAX_DEVICES> ids{};
    int flashCount = 0;
    int result = PWLGetDevicesEx(app, PWL_INTERFACE_FLASH, &flashCount, ids.data());
    flashCount = std::clamp(flashCount, 0, PWL_MAX_DEVICES);
    int total = flashCount;
    if (result == PWL_RC_SUCCESS || result == PWL_RC_NO_DEVICE) {
      int bootCount = 0;
      result = PWLGetDevicesEx(app, PWL_INTERFACE_BOOT, &bootCount, ids.data() + flashCount);
      total += std::clamp(bootCount, 0, PWL_MAX_DEVICES);
      if (result == PWL_RC_NO_DEVICE && total > 0) result = PWL_RC_SUCCESS;
    }
    if (result == PWL_RC_SUCCESS) {
      for (int i = 0; i < total; ++i) devices.push_back(ids[static_cast<std::size_t>(i)]);
    }
  }
  if (settings.GetIntParam(OPTION_COMM_PROTOCOL) == 0)
    devices.push_back(DEVICE_FIRST_COM + settings.GetIntParam(OPTION_SERIAL_PORT));
  LogDevicesWithoutRow(grid_.ReserveDevices(devices));
  // From now on an empty grid means no radio was found: say so in it, and
  // where a radio on a serial port is chosen instead.
  gridView_->SetEmptyText(QString::fromUtf8(kNoRadioFoundText));
  Carry(grid_.ApplyGridRowChanges());
  FitWindowToRows();
}

void CFlashDlg::OnUsbDeviceEvent(platform::Message& message) {
  // The record is the message's payload and goes with it: what is needed is
  // copied out of it while the message is handled, and only as many bytes
  // as its length says are there.
  const std::size_t length = message.wParam & 0xFFFF;
  std::array<std::uint8_t, kUsbChangeMinimumLength> copy{};
  if (message.lParam == 0 || length < copy.size()) return;
  std::memcpy(copy.data(), reinterpret_cast<const void*>(message.lParam), copy.size());
  const std::optional<UsbChange> change = ReadUsbChange(copy.data(), length);
  if (!change) return;
  platform::PostWindowMessage(Handle(), change->message, static_cast<platform::WParam>(change->index),
                              change->kind);
}

void CFlashDlg::OnDeviceAttached(platform::WParam wParam, platform::LParam kind) {
  const int index = static_cast<int>(wParam);
  DeviceNumber device = static_cast<DeviceNumber>(wParam);
  if (kind == kUsbPhoneInterfaceKind && index >= 0 && index <= kWidestUsbIndex) {
    PostLogLine(Format("USB%d> Device Attached", index));
  } else if (kind == kSmartphoneKind) {
    if (SmartphoneUsbPorts().size() == 1) {
      PostLogLine(Format("Smartphone> Device Attached on USB%d", index));
      device = DEVICE_SMARTPHONE;
    } else {
      PostLogLine(Format("Unsupported Smartphone> Device Attached on USB%d", index));
      device = DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index;
    }
  }
  Carry(grid_.OnDeviceAttached(device));
}

void CFlashDlg::OnDeviceRemoved(platform::WParam wParam, platform::LParam kind) {
  const int index = static_cast<int>(wParam);
  DeviceNumber device = static_cast<DeviceNumber>(wParam);
  if (kind == kSmartphoneKind) {
    if (grid_.FindGridRow(DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index) < 0) {
      PostLogLine(Format("Smartphone> Device Removed on USB%d", index));
      device = DEVICE_SMARTPHONE;
    } else {
      PostLogLine(Format("Unsupported Smartphone> Device Removed on USB%d", index));
      device = DEVICE_FIRST_UNSUPPORTED_SMARTPHONE + index;
    }
  } else if (index >= 0 && index <= kWidestUsbIndex) {
    PostLogLine(Format("USB%d> Device Removed", index));
  }
  Carry(grid_.OnDeviceRemoved(device));
}

void CFlashDlg::OnDeviceStatus(std::unique_ptr<DeviceStatusRecord> record, const platform::Message& message) {
  if (!record) return;
  // The FlashPack Manager, while open, shows the status instead of the grid.
  auto copy = MakeDeviceStatusRecord(record->eventCode, record->device, record->itemsStarted, record->itemsQueued,
                                     record->percent, record->error.get());
  if (PostToTarget<WM_DEVICE_STATUS>(PT_SECOND_WINDOW, std::move(copy), message.lParam)) return;
  platform::PostWindowMessage<WM_GRID_STATUS>(Handle(), std::move(record), message.lParam);
}

void CFlashDlg::OnGridStatus(std::unique_ptr<DeviceStatusRecord> record) {
  if (!record) return;
  const int index = grid_.FindGridRow(record->device);
  const GridRowStateCode before = index >= 0 ? grid_.Row(index).state : GRID_ROW_READY;
  GridEffects effects = grid_.OnGridStatus(*record);
  // Progress within one state waits for the next repaint tick; every change
  // of state is shown at once.
  const bool progressOnly = index >= 0 && grid_.Row(index).state == before && !effects.flashReleased &&
                            !effects.flashTaken && effects.posts.empty() && (before == GRID_ROW_BUSY || before == GRID_ROW_WAITING ||
                                                      before == GRID_ROW_SCANNING || before == GRID_ROW_REMOVED_BUSY);
  Carry(std::move(effects), progressOnly);
}

void CFlashDlg::ApplyGridChanges(GridEffects& effects) {
  if (!effects.applyWanted) return;
  effects.applyWanted = false;
  if (isMinimized()) return;  // made when the window is restored
  effects.Merge(grid_.ApplyGridRowChanges());
}

void CFlashDlg::Carry(GridEffects effects, bool coalesce) {
  ApplyGridChanges(effects);
  LogDevicesWithoutRow(effects.withoutRow);
  for (const GridPost& post : effects.posts) PostTableMessage(post.target, post.message, post.wParam);
  if (effects.report) PostToTarget<WM_SET_STATUS>(PT_USER_IO, std::make_unique<StatusReport>(*effects.report));
  if (effects.flashReleased || effects.flashTaken) {
    flashEnabled_ = !effects.flashTaken;
    ApplyMenuState();
  }
  pendingRepaint_.insert(effects.dirtyRows.begin(), effects.dirtyRows.end());
  if (coalesce && !effects.rowsChanged) {
    if (!repaintTimer_->isActive()) repaintTimer_->start();
    return;
  }
  RepaintDirtyRows();
  if (effects.rowsChanged) {
    FitWindowToRows();
    ApplyMenuState();
  }
}

void CFlashDlg::RepaintDirtyRows() {
  repaintTimer_->stop();
  std::set<int> dirty;
  dirty.swap(pendingRepaint_);
  gridView_->Sync(grid_, dirty);
}

void CFlashDlg::LogDevicesWithoutRow(const std::vector<DeviceNumber>& devices) {
  for (DeviceNumber device : devices) PostLogLine(GridFullLogLine(device));
}
