// The processor's preset manager: the preset memories ("%d. " and the name, or "%d. --" when
// empty) and then the crossover presets, with Store, Recall and Clear by section. Its buttons
// and renames in the list are a person's changes of the device (ids 497 to 500), handed in
// with the selected row, the section boxes and the name as their answer, once the change's
// confirmation is asked. While the unit is away online each says why instead; so do a store,
// a recall and a rename of a row beyond the memories that the read-out found the unit to hold,
// which the list marks "(not on the unit)".
#pragma once

#include <QString>
#include <array>

#include "devices/processor/NerexPanel.h"
#include "devices/processor/NerexSeriesDevice.h"
#include "widgets/BitmapDialogEx.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class CNerexSeriesPresetDlg : public CBitmapDialogEx {
 public:
  CNerexSeriesPresetDlg(QWidget* parent, CNerexSeriesDevice* device, int x, int y, const QString& caption);

  // The selected row (-1 when none; memories first, then the crossover presets), the store
  // boxes that are ticked and enabled, the recall boxes that are ticked (bit 0 Inputs, bit 1
  // Outputs and crossovers, bit 2 Graphic EQ, bit 3 Dynamic EQ), and the name of the row last
  // renamed in the list.
  int GetSelectedRow() const;
  std::uint32_t GetStoreMask() const;
  std::uint32_t GetRecallMask() const;
  std::string GetRowName(int row) const;

  // Rebuilds the rows from the device's lists, keeping the selection.
  void Refill();

  QListWidget* List() const { return m_list; }
  QPushButton* StoreButton() const { return m_store; }
  QPushButton* RecallButton() const { return m_recall; }
  QPushButton* ClearButton() const { return m_clear; }
  // Boxes by section bit: Inputs, Outputs && Xover, Graphic EQ, Dynamic EQ.
  QCheckBox* StoreBox(int bit) const { return m_storeBoxes[std::size_t(bit)]; }
  QCheckBox* RecallBox(int bit) const { return m_recallBoxes[std::size_t(bit)]; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Raise(int id);
  void UpdateButtons();
  void OnRenamed(QListWidgetItem* item);

  CNerexSeriesDevice* m_device;
  QListWidget* m_list;
  QPushButton* m_store;
  QPushButton* m_recall;
  QPushButton* m_clear;
  std::array<QCheckBox*, 4> m_storeBoxes{};
  std::array<QCheckBox*, 4> m_recallBoxes{};
  QString m_renamed;
  QPoint m_offset;
  bool m_opened = false;
  bool m_filling = false;
};
