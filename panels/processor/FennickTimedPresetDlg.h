// The Fennick panel's timed-preset editor: ten rows, each an enable box, the stored preset it
// recalls, weekly or once ("One Shot"), the seven day boxes M T W T F S S, a time and a date.
// It edits the caller's ten entries in place when the user confirms; a row left as it was shown
// keeps its entry as it was. Dates are taken in the year they next fall in, by the PC's clock
// (CNerexSources::ReadLocalClock).
#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <array>
#include <utility>
#include <vector>

#include "devices/processor/NerexSeriesDevice.h"
#include "widgets/BitmapDialogEx.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;

class CFennickTimedPresetDlg : public CBitmapDialogEx {
 public:
  // entries: the device's ten entries (kept by the caller); memories: its preset memories, of
  // which the rows offer the stored ones, and each row its entry's own memory besides, shown
  // "n. --" when it is not stored (also a number beyond the memories, as a unit's table may
  // hold); a switched-off entry of memory 0, never set, shows the first stored one.
  CFennickTimedPresetDlg(QWidget* parent, int x, int y, const QString& caption, TimedPresetEntry* entries,
                         CNerexMemoryView memories);

  struct Row {
    QCheckBox* enable;
    QComboBox* preset;
    QRadioButton* weekly;
    QRadioButton* once;
    std::array<QCheckBox*, 7> days;  // M T W T F S S
    QTimeEdit* time;
    QDateEdit* date;
  };
  const Row& GetRow(int i) const { return m_rows[std::size_t(i)]; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }

  // The weekday bit of each day column M T W T F S S.
  static constexpr std::array<int, 7> kDayBits{5, 4, 3, 2, 1, 0, 6};

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // What a row's boxes show, to tell a row the person changed.
  struct RowShown {
    bool enabled = false;
    int preset = -1;
    bool once = false;
    std::uint32_t days = 0;
    QTime time;
    QDate date;
    friend bool operator==(const RowShown&, const RowShown&) = default;
  };
  void FillRow(int i);
  void UpdateRow(int i);
  RowShown Shown(int i) const;
  // Writes the rows the person changed back into their entries.
  void Save();

  TimedPresetEntry* m_entries;
  QDate m_today;
  std::array<RowShown, kNerexTimedPresets> m_shown{};
  std::vector<std::pair<int, QString>> m_stored;  // memory number, "%d. name"
  std::array<Row, kNerexTimedPresets> m_rows{};
  QPushButton* m_ok;
  QPushButton* m_cancel;
  QPoint m_offset;
  bool m_opened = false;
};
