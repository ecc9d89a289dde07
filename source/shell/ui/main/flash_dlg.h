#pragma once
// The program's only top-level window: menu bar, a toolbar with Flash
// Software and the product selector, and the device status grid. It starts
// the worker threads and the USB registration, turns every command, drop and
// device change into a message for the pre-processing thread (it never runs a
// device operation itself), shows the devices' progress, and shuts the
// program down when it closes. Its messages (post target 4) are delivered on
// the GUI thread, in order.

#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/message_map.h"
#include "shell/grid/device_grid.h"
#include "shell/grid/product_list.h"
#include "shell/ui/main/usb_session.h"
#include "shell/ui/main/worker_threads.h"

class QAction;
class QUrl;
class QComboBox;
class QEventLoop;
class QMenu;
class QMessageBox;
class QSocketNotifier;
class QTimer;
struct DeviceStatusRecord;
struct ProductSelection;
class QToolBar;
class CDeviceGridView;
class CLogStatusBar;
class GuiWindowTarget;
class CUserWindowSettings;
struct MenuEntry;
enum class MenuRule;

class CFlashDlg : public QMainWindow {
  Q_OBJECT

 public:
  explicit CFlashDlg(WorkerThreadFactory threads = ProgramWorkerThreads(), QWidget* parent = nullptr);
  ~CFlashDlg() override;

  // Shows the window and runs until it ends, then shuts the program's
  // threads and USB registration down; returns the window's result
  // (0 Exit, 1 ended by the core thread, 2 closed).
  int Exec();
  void EndDialog(int result);
  // Run by the application's own event loop instead of Exec(): ending the
  // window ends that loop.
  void SetEndsApplication(bool ends) { endsApplication_ = ends; }
  // A termination request (SIGTERM, SIGINT) ends the window as a quit from
  // the close question does (without asking), so that the program shuts
  // down in order.
  void CloseOnTerminationSignal();
  // Ends the window with the result; while jobs run it asks first (when
  // asked to) and a quit cancels them.
  void RequestEnd(int result, bool ask);
  // Stops USB, the worker threads and the grid (once).
  void Shutdown();

  platform::WindowHandle Handle() const;
  const DeviceGrid& Grid() const { return grid_; }
  CDeviceGridView* GridView() const { return gridView_; }
  QAction* CommandAction(int commandId) const;
  QComboBox* ProductSelector() const { return productSelector_; }
  QToolBar* ToolBar() const { return toolBar_; }
  CLogStatusBar* StatusBar() const { return statusBar_; }
  // The pop-up of the menu bar with the text ("&File"), or null.
  QMenu* Menu(const QString& text) const;
  QMenu* RecentFilesMenu() const { return recentFilesMenu_; }
  bool FlashEnabled() const { return flashEnabled_; }
  const std::vector<ProductEntry>& Products() const { return products_; }
  const UsbSession& Usb() const { return usb_; }

  // Runs a menu, toolbar or row-button command.
  void OnCommand(int commandId);
  // Files dropped on the window go to the pre-processing thread; false when
  // none of them is a local file.
  bool OnFilesDropped(const QList<QUrl>& urls);

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMessageMap();
  void SetupMenus();
  QAction* AddCommandAction(QWidget* owner, const MenuEntry& entry);
  void BuildRecentFilesMenu();
  void SetupToolbar();
  void SetupProductSelector();
  void RemoveMenuCommand(int commandId);
  void BuildCustomMenu();
  void ApplyMenuState();
  void FitWindowToRows();
  void RestoreGeometry();
  void RestoreOlderGeometry();
  QPoint KeptOnScreen(const QRect& frame) const;
  void SaveGeometry() const;
  void AskBeforeEnding(int result, const std::vector<DeviceNumber>& running);
  void QuitCancellingJobs(int result);
  void LogDevicesWithoutRow(const std::vector<DeviceNumber>& devices);

  // Messages of the window.
  void OnStartupContinue();
  void InitStatusGrid();
  void OnUsbDeviceEvent(platform::Message& message);
  void OnDeviceAttached(platform::WParam wParam, platform::LParam kind);
  void OnDeviceRemoved(platform::WParam wParam, platform::LParam kind);
  void OnDeviceStatus(std::unique_ptr<DeviceStatusRecord> record, const platform::Message& message);
  void OnGridStatus(std::unique_ptr<DeviceStatusRecord> record);
  void ApplyGridChanges(GridEffects& effects);
  void Carry(GridEffects effects, bool coalesce = false);
  void RepaintDirtyRows();

  // Commands.
  void OnFlashSoftware(const struct CommandPlan& plan);
  bool RefuseWithMultipleDevices(const std::string& errorLine);
  void OnFormatFileSystem(const struct CommandPlan& plan);

  // Product selector.
  void ScanProductFiles(bool postSelection);
  void FillProductSelector(int selected);
  // At start-up, after the configuration: selects and posts the first
  // product when the configured one is not in the list.
  void FallBackToFirstProduct();
  void OnProductDropDown();
  void OnProductSelChange(int index);
  void PostProductSelection(const ProductEntry& entry);
  void OnProductSelected(std::unique_ptr<ProductSelection> chosen);
  // The list's last entry: the user-I/O thread's "choose a product file".
  void OnChooseProductFile();
  bool HasSelectedProduct() const;
  // Flash Software without a product: the error line and box; true then.
  bool RefuseWithoutProduct();
  // File > Open Working Folder: the desktop's file manager shows it.
  void OpenWorkingFolder();

  void ShowErrorPrompt();

  WorkerThreadFactory factory_;
  std::unique_ptr<GuiWindowTarget> target_;
  platform::MessageMap map_;
  WorkerThreadSet threads_;
  UsbSession usb_;
  DeviceGrid grid_;
  CDeviceGridView* gridView_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QMenu* customMenu_ = nullptr;
  QMenu* recentFilesMenu_ = nullptr;
  CLogStatusBar* statusBar_ = nullptr;
  std::map<QString, QMenu*> menus_;
  // Every menu item and window shortcut with the rule that greys it.
  std::vector<std::pair<QAction*, MenuRule>> ruledActions_;
  QComboBox* productSelector_ = nullptr;
  std::map<int, QAction*> actions_;
  std::vector<ProductEntry> products_;
  bool fillingProducts_ = false;
  bool flashEnabled_ = true;
  bool shutDown_ = false;
  bool endsApplication_ = false;
  QSocketNotifier* terminationNotifier_ = nullptr;
  int result_ = 2;
  QPointer<QEventLoop> loop_;
  QPointer<QMessageBox> closeQuestion_;
  std::unique_ptr<CUserWindowSettings> userSettings_;
  QTimer* repaintTimer_ = nullptr;
  std::set<int> pendingRepaint_;
};
