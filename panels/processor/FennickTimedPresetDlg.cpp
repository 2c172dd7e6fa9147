// The timed-preset editor: its ten rows filled from the entries, each row's boxes enabled as
// its choices allow, and the entries written back from the rows on Save.
#include "panels/processor/FennickTimedPresetDlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

constexpr std::uint8_t kModeOnce = 0x80;

// Today on the PC's clock, as the unit is set from it.
QDate Today() {
  const NerexClockReading now = CNerexSources::ReadLocalClock();
  const QDate date(2000 + now.yearOfCentury, now.month, now.day);
  return date.isValid() ? date : QDate::currentDate();
}

// The next day on or after today that has the month and day (29 February may be years away);
// an invalid date when no year has it.
QDate NextDate(int month, int day, const QDate& today) {
  for (int year = today.year(); year <= today.year() + 8; ++year) {
    const QDate date(year, month, day);
    if (date.isValid() && date >= today) return date;
  }
  return QDate();
}

}  // namespace

CFennickTimedPresetDlg::CFennickTimedPresetDlg(QWidget* parent, int x, int y, const QString& caption,
                                               TimedPresetEntry* entries, CNerexMemoryView memories)
    : CBitmapDialogEx(parent, caption), m_entries(entries), m_offset(x, y) {
  for (std::size_t k = 0; k < memories.size(); ++k)
    if (memories[k] && memories[k]->HoldsAnySection())
      m_stored.emplace_back(int(k + 1), QStringLiteral("%1. %2").arg(k + 1).arg(QString::fromUtf8(memories[k]->name)));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 30, 14, 12);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  const QStringList heads{QString(), QStringLiteral("Preset"), QStringLiteral("Weekly"), QStringLiteral("One Shot"),
                          QStringLiteral("M"), QStringLiteral("T"), QStringLiteral("W"), QStringLiteral("T"),
                          QStringLiteral("F"), QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("Time"),
                          QStringLiteral("Date")};
  for (int c = 0; c < heads.size(); ++c) grid->addWidget(new QLabel(heads[c], this), 0, c, Qt::AlignCenter);
  m_today = Today();
  for (int i = 0; i < kNerexTimedPresets; ++i) {
    Row& row = m_rows[std::size_t(i)];
    row.enable = new QCheckBox(QString::number(i + 1), this);
    row.preset = new QComboBox(this);
    for (const auto& [number, text] : m_stored) row.preset->addItem(text, number);
    row.weekly = new QRadioButton(this);
    row.once = new QRadioButton(this);
    auto* group = new QButtonGroup(this);
    group->addButton(row.weekly);
    group->addButton(row.once);
    row.time = new QTimeEdit(this);
    row.time->setDisplayFormat(QStringLiteral("HH:mm"));
    row.date = new QDateEdit(this);
    row.date->setDisplayFormat(QStringLiteral("dd MMM"));
    row.date->setCalendarPopup(true);
    int c = 0;
    grid->addWidget(row.enable, i + 1, c++);
    grid->addWidget(row.preset, i + 1, c++);
    grid->addWidget(row.weekly, i + 1, c++, Qt::AlignCenter);
    grid->addWidget(row.once, i + 1, c++, Qt::AlignCenter);
    for (auto& day : row.days) {
      day = new QCheckBox(this);
      grid->addWidget(day, i + 1, c++, Qt::AlignCenter);
    }
    grid->addWidget(row.time, i + 1, c++);
    grid->addWidget(row.date, i + 1, c++);
    FillRow(i);
    m_shown[std::size_t(i)] = Shown(i);
    connect(row.enable, &QCheckBox::toggled, this, [this, i](bool on) {
      // A row switched on from off starts as a once entry.
      Row& r = m_rows[std::size_t(i)];
      if (on && !r.weekly->isChecked() && !r.once->isChecked()) r.once->setChecked(true);
      UpdateRow(i);
    });
    connect(row.weekly, &QRadioButton::toggled, this, [this, i] { UpdateRow(i); });
  }
  layout->addLayout(grid);
  m_ok = new QPushButton(QStringLiteral("OK"), this);
  m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
  m_ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  connect(m_ok, &QPushButton::clicked, this, [this] {
    Save();
    accept();
  });
  connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void CFennickTimedPresetDlg::FillRow(int i) {
  Row& row = m_rows[std::size_t(i)];
  const TimedPresetEntry& e = m_entries[i];
  // An entry may recall a memory that is not stored, or a number beyond the memories the device
  // keeps (read from a unit or a file): the row offers it too, as "n. --", so that it shows the
  // entry's own preset and keeps it when only the time or the days change. A switched-off entry
  // of memory 0 is one never set (a new table is all 0): it starts at the first stored memory.
  const bool neverSet = e.mode == 0 && e.preset == 0;
  if (!neverSet && row.preset->findData(int(e.preset)) < 0) {
    int at = 0;
    while (at < row.preset->count() && row.preset->itemData(at).toInt() < e.preset) ++at;
    row.preset->insertItem(at, QStringLiteral("%1. --").arg(e.preset), int(e.preset));
  }
  const int found = row.preset->findData(int(e.preset));
  row.preset->setCurrentIndex(found >= 0 ? found : 0);
  row.enable->setChecked(e.mode != 0);
  const bool once = e.mode == kModeOnce || e.mode == 0;
  row.once->setChecked(once);
  row.weekly->setChecked(!once);
  for (std::size_t d = 0; d < row.days.size(); ++d)
    row.days[d]->setChecked(e.mode != kModeOnce && ((e.mode >> kDayBits[d]) & 1));
  row.time->setTime(QTime(std::min<int>(e.hour, 23), std::min<int>(e.minute, 59)));
  // A stored date is shown in the year it next falls in; an entry without a valid one shows
  // today. The box offers the coming year, and that date when it lies further.
  const QDate next = NextDate(e.month, e.day, m_today);
  const QDate date = next.isValid() ? next : m_today;
  row.date->setDateRange(m_today, std::max(m_today.addDays(364), date));
  row.date->setDate(date);
  UpdateRow(i);
}

CFennickTimedPresetDlg::RowShown CFennickTimedPresetDlg::Shown(int i) const {
  const Row& row = m_rows[std::size_t(i)];
  RowShown shown;
  shown.enabled = row.enable->isChecked();
  shown.preset = row.preset->currentIndex();
  shown.once = row.once->isChecked();
  for (std::size_t d = 0; d < row.days.size(); ++d)
    if (row.days[d]->isChecked()) shown.days |= 1u << d;
  shown.time = row.time->time();
  shown.date = row.date->date();
  return shown;
}

void CFennickTimedPresetDlg::UpdateRow(int i) {
  Row& row = m_rows[std::size_t(i)];
  const bool on = row.enable->isChecked() && !m_stored.empty();
  const bool weekly = row.weekly->isChecked();
  row.preset->setEnabled(on);
  row.weekly->setEnabled(on);
  row.once->setEnabled(on);
  for (QCheckBox* day : row.days) day->setEnabled(on && weekly);
  row.time->setEnabled(on);
  row.date->setEnabled(on && !weekly);
}

void CFennickTimedPresetDlg::Save() {
  for (int i = 0; i < kNerexTimedPresets; ++i) {
    // A row the person left as it was shown keeps its entry's bytes: what it shows of a date
    // or a preset that the boxes cannot hold is no change.
    if (Shown(i) == m_shown[std::size_t(i)]) continue;
    const Row& row = m_rows[std::size_t(i)];
    TimedPresetEntry& e = m_entries[i];
    if (row.preset->currentIndex() >= 0) e.preset = std::uint8_t(row.preset->currentData().toInt());
    std::uint8_t mode = 0;
    if (row.enable->isChecked()) {
      if (row.once->isChecked()) {
        mode = kModeOnce;
      } else {
        for (std::size_t d = 0; d < row.days.size(); ++d)
          if (row.days[d]->isChecked()) mode = std::uint8_t(mode | (1u << kDayBits[d]));
      }
    }
    e.mode = mode;
    if (mode == kModeOnce) {
      e.month = std::uint8_t(row.date->date().month());
      e.day = std::uint8_t(row.date->date().day());
    }
    if (mode != 0) {
      e.hour = std::uint8_t(row.time->time().hour());
      e.minute = std::uint8_t(row.time->time().minute());
    }
  }
}

void CFennickTimedPresetDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    if (QWidget* parent = parentWidget()) move(parent->mapToGlobal(m_offset));
  }
  CBitmapDialogEx::showEvent(event);
}
