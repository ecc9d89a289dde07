// Shows the main window as a user sees it during a flash and saves PNG
// pictures of it: at start, with three devices mid-flash (one failed), and
// with the product list. No worker thread runs; the device changes and
// status records are the ones the core thread and the USB monitor post.
//
//   window_preview <output folder>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <filesystem>

#include "engine/core/app_settings.h"
#include "engine/core/device_status_record.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "platform/target_registry.h"
#include "platform/temp_folder.h"
#include "shell/ui/main/flash_dlg.h"

namespace {

void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  const QString path = folder + "/" + name;
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void Status(CFlashDlg& window, int event, int device, int started, int queued, int percent, int errorCode = 0) {
  std::unique_ptr<ErrorRecord> error;
  if (errorCode) error = MakeErrorRecord(device, event, errorCode, nullptr);
  platform::PostWindowMessage<WM_DEVICE_STATUS>(window.Handle(),
                              MakeDeviceStatusRecord(event, device, started, queued, percent, error.get()));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("screenshots");
  QDir().mkpath(output);

  const std::string folder = platform::MakeTemporaryFolder("quillon-preview-");
  std::filesystem::copy_file(std::string(QUILLON_SOURCE_DIR) + "/tests/engine/product/corpus/example.qlp",
                             folder + "/radios.qlp");
  CAppSettings& settings = GetAppSettings();
  settings.SetAppString(APP_STRING_WORKING_DIRECTORY, folder);
  settings.SetStringParam(OPTION_PRODUCT_TAG, "RADIO_B");
  settings.SetIntParam(OPTION_COMM_PROTOCOL, 0);
  settings.SetIntParam(OPTION_SERIAL_PORT, 0);

  bool ok = true;
  {
    CFlashDlg window{WorkerThreadFactory{}};
    window.show();
    Settle(200);
    ok = Save(window, output, "main_window_start.png") && ok;

    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 127, 0);  // COM1
    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 5, 2);
    platform::PostWindowMessage<WM_DEVICE_ATTACHED>(window.Handle(), 2, 2);
    Settle(100);
    Status(window, 11, 2, 1, 2, 47);
    Status(window, 12, 5, 1, 1, 0, 60);
    Status(window, 14, 127, 1, 1, 100);
    Settle(300);
    ok = Save(window, output, "main_window_flashing.png") && ok;

    window.ProductSelector()->showPopup();
    Settle(300);
    QWidget* popup = QApplication::activePopupWidget();
    ok = Save(window, output, "main_window_products.png") && ok;
    if (popup) ok = Save(*popup, output, "product_list.png") && ok;
    window.ProductSelector()->hidePopup();
    window.Shutdown();
  }
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
