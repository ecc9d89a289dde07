#pragma once
// The shared part of the "Erase Flash" and "Reverse Flash" dialogs: a
// sector type list (one entry per distinct type name, in first-seen order)
// above a multi-selection list of the sectors ("%d - 0x%.8X (TYPE)"). Choosing a
// type selects exactly the sectors of that type; a double click selects
// them all. The window is resizable but never smaller than at opening.

#include <QDialog>

#include "engine/core/sector_list.h"

class QComboBox;
class QListWidget;
class QVBoxLayout;

class CSectorDlgBase : public QDialog {
  Q_OBJECT
 public:
  // The sectors with their selected flags as the list shows them.
  SectorList Chosen() const { return sectors_; }

  void accept() override;

 protected:
  CSectorDlgBase(const QString& title, const char* typeListId, const char* sectorListId, SectorList sectors,
                 QWidget* parent);

  // The list's line of one sector.
  static QString SectorLine(int index, const SectorEntry& sector);

  // Whether the list shows the sector of this row selected now.
  bool IsRowSelected(int row) const;
  // Index of the first selected line; -1 when none is selected.
  int FirstSelected() const;
  const SectorList& Sectors() const { return sectors_; }
  QVBoxLayout* FieldsLayout() const { return fields_; }
  // Finishes the layout with the button row; the derived dialog calls it
  // after adding its own fields.
  void FinishLayout();
  // Refuses OK while a field of the derived dialog is not acceptable.
  virtual bool TakeFields() { return true; }

  virtual void OnTypeChosenDone() {}
  virtual void OnAllSelected() {}
  virtual void OnSelectionChanged() {}

  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FillLists();
  void OnTypeChosen(int index);
  void SelectAll();

  SectorList sectors_;
  QComboBox* typeList_ = nullptr;
  QListWidget* sectorList_ = nullptr;
  QVBoxLayout* fields_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  bool sizedOnce_ = false;
};
