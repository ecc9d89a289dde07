#include "shell/ui/main/flash_dlg.h"

// The toolbar's product selector: the product files of the working folder,
// rescanned whenever the list drops down, and the selection posted to the
// pre-processing thread. Below the products, the entry "Select a new
// product file..." asks the user-I/O thread for the file dialog that copies
// a product file into the working folder.

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QToolBar>
#include <functional>

#include "engine/core/app_settings.h"
#include "engine/core/job_option_ids.h"
#include "engine/core/messages.h"
#include "engine/core/post_target.h"
#include "shell/log/post_log_line.h"
#include "shell/userio/product_selection.h"

namespace {

constexpr int kProductSelectorWidth = 120;
constexpr const char* kChooseProductText = "Select a new product file...";
constexpr const char* kNoProductText = "No product";
// Flash Software needs a product's flash map.
constexpr const char* kNoProductRefusal =
    "Error> No product is selected. Choose one in the product list, or copy a product file (.qlp) into the "
    "working folder with Select a new product file... at the end of the list";

// The product selector rescans the product files each time its list drops down.
class ProductComboBox : public QComboBox {
 public:
  ProductComboBox(QWidget* parent, std::function<void()> beforePopup)
      : QComboBox(parent), beforePopup_(std::move(beforePopup)) {}
  void showPopup() override {
    beforePopup_();
    QComboBox::showPopup();
  }

 private:
  std::function<void()> beforePopup_;
};

}  // namespace

void CFlashDlg::SetupProductSelector() {
  productSelector_ = new ProductComboBox(toolBar_, [this] { OnProductDropDown(); });
  productSelector_->setObjectName("productSelector");
  productSelector_->setToolTip("Select a new product file");
  productSelector_->setMinimumWidth(kProductSelectorWidth);
  productSelector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  productSelector_->setMaxVisibleItems(16);
  productSelector_->setPlaceholderText(kNoProductText);
  toolBar_->addWidget(productSelector_);
  connect(productSelector_, &QComboBox::activated, this, &CFlashDlg::OnProductSelChange);
  ScanProductFiles(false);
}

void CFlashDlg::ScanProductFiles(bool postSelection) {
  const QString remembered = productSelector_->currentText();
  CAppSettings& settings = GetAppSettings();
  ProductScan scan = ::ScanProductFiles(settings.GetAppString(APP_STRING_WORKING_DIRECTORY),
                                      settings.GetIntParam(OPTION_PRODUCT_FILTER) != 0);
  products_ = std::move(scan.entries);
  if (!scan.errorLine.empty()) {
    PostLogLine(scan.errorLine);
    ShowErrorPrompt();
  }
  int selected = FindProductTag(products_, remembered.toStdString());
  if (selected < 0 && !postSelection) {
    // At start-up the configured product is the selection; nothing is posted
    // that would replace it.
    selected = FindProductTag(products_, settings.GetStringParam(OPTION_PRODUCT_TAG));
  }
  const bool fallBack = selected < 0 && !products_.empty();
  if (fallBack) selected = 0;
  FillProductSelector(selected);
  if (fallBack && postSelection) PostProductSelection(products_.front());
}

void CFlashDlg::FallBackToFirstProduct() {
  // The configuration has been read (and its product shown) by now. A
  // configured product that no product file holds gives way to the first
  // entry, which is loaded as the new product, so that the selector never
  // shows a product that was not read.
  if (products_.empty()) return;
  const int configured = FindProductTag(products_, GetAppSettings().GetStringParam(OPTION_PRODUCT_TAG));
  if (configured >= 0) {
    if (productSelector_->currentIndex() != configured) FillProductSelector(configured);
    return;
  }
  FillProductSelector(0);
  PostProductSelection(products_.front());
}

void CFlashDlg::FillProductSelector(int selected) {
  fillingProducts_ = true;
  productSelector_->clear();
  for (const ProductEntry& entry : products_) productSelector_->addItem(QString::fromStdString(entry.tag));
  if (!products_.empty()) productSelector_->insertSeparator(productSelector_->count());
  productSelector_->addItem(kChooseProductText);
  productSelector_->setCurrentIndex(selected);
  fillingProducts_ = false;
}

void CFlashDlg::OnProductDropDown() {
  ScanProductFiles(true);
  const QFontMetrics metrics(productSelector_->font());
  int widest = 0;
  for (const ProductEntry& entry : products_)
    widest = std::max(widest, metrics.horizontalAdvance(QString::fromStdString(entry.tag)));
  widest = std::max(widest, metrics.horizontalAdvance(kChooseProductText));
  productSelector_->view()->setMinimumWidth(std::max(widest + 6, kProductSelectorWidth));
}

void CFlashDlg::OnProductSelChange(int index) {
  if (fillingProducts_ || index < 0) return;
  if (index == productSelector_->count() - 1) {
    OnChooseProductFile();
    return;
  }
  if (index >= static_cast<int>(products_.size())) return;
  PostProductSelection(products_[static_cast<std::size_t>(index)]);
}

void CFlashDlg::PostProductSelection(const ProductEntry& entry) {
  PostToTarget<WM_SELECT_PRODUCT>(PT_PREPROCESSING, std::make_unique<ProductSelection>(ProductSelection{entry.file, entry.tag}));
}

void CFlashDlg::OnProductSelected(std::unique_ptr<ProductSelection> chosen) {
  if (!chosen) {
    PostLogLine("Error> An error occurred while selecting the new product file");
    ShowErrorPrompt();
    return;
  }
  int index = FindProductTag(products_, chosen->productTag);
  if (index < 0) index = InsertProductEntry(products_, {chosen->productFile, chosen->productTag});
  FillProductSelector(index);
}

void CFlashDlg::OnChooseProductFile() {
  // The selector keeps showing the product until the user-I/O thread
  // reports the chosen one.
  FillProductSelector(FindProductTag(products_, GetAppSettings().GetStringParam(OPTION_PRODUCT_TAG)));
  PostToTarget<WM_SELECT_PRODUCT>(PT_PREPROCESSING, std::unique_ptr<ProductSelection>());
}

bool CFlashDlg::HasSelectedProduct() const {
  const int index = productSelector_->currentIndex();
  return index >= 0 && index < static_cast<int>(products_.size());
}

bool CFlashDlg::RefuseWithoutProduct() {
  if (HasSelectedProduct()) return false;
  PostLogLine(kNoProductRefusal);
  ShowErrorPrompt();
  return true;
}
