#pragma once
// The widgets of the device status grid: per row a centred label, the item
// counts, the text progress bar, Cancel (or Close) and Retry. They show the
// rows of a DeviceGrid and report button clicks by command id; all
// decisions are the grid's.

#include <QWidget>
#include <array>
#include <set>

#include "shell/grid/device_grid.h"

class QLabel;
class QPushButton;
class CTextProgressCtrl;

class CDeviceGridView : public QWidget {
  Q_OBJECT

 public:
  explicit CDeviceGridView(QWidget* parent = nullptr);
  ~CDeviceGridView() override;

  // Brings the rows' widgets in line with the grid: creates and deletes row
  // widgets as rows come and go, and updates the given rows.
  void Sync(const DeviceGrid& grid, const std::set<int>& dirtyRows);
  // Deletes every row's widgets.
  void Clear();

  // The narrowest the rows may be and the height of one row. The rows
  // stretch with the view's width; its height is the rows'.
  void SetRowMetrics(int minimumWidth, int rowHeight);
  int RowHeight() const { return rowHeight_; }
  int RowCount() const;

  // The widgets of a grid row (null while it has none); for tests.
  CTextProgressCtrl* Progress(int row) const;
  QPushButton* CancelButton(int row) const;
  QPushButton* RetryButton(int row) const;
  QLabel* Label(int row) const;
  QLabel* Counts(int row) const;

  // A line shown in place of the rows while there are none, saying why
  // (empty: the grid is simply empty).
  void SetEmptyText(const QString& text);
  // The line while it shows, else null; for tests.
  QLabel* EmptyLine() const;

 signals:
  void RowButtonClicked(int commandId);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct RowWidgets;
  void CreateRow(int index, const DeviceRow& row);
  void ShowRow(RowWidgets& widgets, const DeviceRow& row);
  void PlaceRow(RowWidgets& widgets) const;
  void ResizeToRows();
  void PlaceEmptyLine();

  std::array<RowWidgets*, kGridRowCount> rows_{};
  int width_ = 460;
  int rowHeight_ = 26;
  QLabel* emptyLine_ = nullptr;
};
