// The preset manager's list, section boxes and buttons; each button and each rename in the
// list is a control change of the device, which reads the selection back from the dialog.
#include "panels/processor/NerexSeriesPresetDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/model/Device.h"
#include "devices/processor/NerexPresets.h"
#include "devices/processor/NerexModelTable.h"
#include "platform/Sync.h"

namespace {

constexpr int kRowsWithStore = 127;
const char* const kSectionTexts[4] = {"Inputs", "Outputs && Xover", "Graphic EQ", "Dynamic EQ"};

QString RowText(int number, const CNerexSeriesMemory& m) {
  if (!m.HoldsAnySection()) return QStringLiteral("%1. --").arg(number);
  return QStringLiteral("%1. %2").arg(number).arg(QString::fromUtf8(m.name));
}

// A row the unit does not hold: its text marked, drawn grey, not renamed in place.
void MarkBeyondUnit(QListWidgetItem& item, const QString& refusal) {
  item.setText(item.text() + QStringLiteral("  (not on the unit)"));
  item.setForeground(QColor(128, 128, 128));
  item.setToolTip(refusal);
  item.setFlags(item.flags() & ~Qt::ItemIsEditable);
}

}  // namespace

CNerexSeriesPresetDlg::CNerexSeriesPresetDlg(QWidget* parent, CNerexSeriesDevice* device, int x, int y,
                                             const QString& caption)
    : CBitmapDialogEx(parent, caption), m_device(device), m_offset(x, y) {
  m_list = new QListWidget(this);
  m_list->setMinimumSize(220, 260);
  m_list->setEditTriggers(QAbstractItemView::DoubleClicked);
  auto* hint = new QLabel(QStringLiteral("Double click to rename"), this);

  auto boxes = [this](const QString& title, std::array<QCheckBox*, 4>& out) {
    auto* group = new QGroupBox(title, this);
    auto* v = new QVBoxLayout(group);
    for (int bit = 0; bit < 4; ++bit) {
      // "&&" shows one ampersand on a box.
      out[std::size_t(bit)] = new QCheckBox(QString::fromLatin1(kSectionTexts[bit]), group);
      out[std::size_t(bit)]->setChecked(true);
      v->addWidget(out[std::size_t(bit)]);
    }
    return group;
  };
  auto* storeGroup = boxes(QStringLiteral("Store"), m_storeBoxes);
  auto* recallGroup = boxes(QStringLiteral("Recall"), m_recallBoxes);
  const int model = device->GetModel();
  const bool geq = model >= kModelNerex24 && model <= kModelTorvex48;
  const bool deq = model == kModelTorvex48;
  for (auto* set : {&m_storeBoxes, &m_recallBoxes}) {
    (*set)[2]->setEnabled(geq);
    (*set)[3]->setEnabled(deq);
  }

  m_store = new QPushButton(QStringLiteral("Store"), this);
  m_recall = new QPushButton(QStringLiteral("Recall"), this);
  m_clear = new QPushButton(QStringLiteral("Clear"), this);
  // The dialog closes through its close box.
  SetCloseBoxShown(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 30, 14, 12);
  auto* body = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(m_list);
  left->addWidget(hint);
  body->addLayout(left);
  auto* right = new QGridLayout;
  right->addWidget(storeGroup, 0, 0);
  right->addWidget(m_store, 1, 0);
  right->addWidget(recallGroup, 2, 0);
  right->addWidget(m_recall, 3, 0);
  right->addWidget(m_clear, 4, 0);
  right->setRowStretch(5, 1);
  body->addLayout(right);
  layout->addLayout(body);

  Refill();
  connect(m_list, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
  for (QCheckBox* box : m_storeBoxes) connect(box, &QCheckBox::toggled, this, [this] { UpdateButtons(); });
  connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { OnRenamed(item); });
  // A row the unit does not hold opens no editor: the double click says why.
  connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (const std::string refusal = m_device->RowBeyondUnitRefusal(m_list->row(item)); !refusal.empty())
      ShowWarning(QString::fromStdString(refusal));
  });
  connect(m_store, &QPushButton::clicked, this, [this] { Raise(497); });
  connect(m_recall, &QPushButton::clicked, this, [this] { Raise(498); });
  connect(m_clear, &QPushButton::clicked, this, [this] { Raise(500); });
}

void CNerexSeriesPresetDlg::Refill() {
  m_filling = true;
  const int selected = m_list->currentRow();
  m_list->clear();
  {
    CSingleLock lock(m_device->SettingsLock());
    const CNerexMemoryView presets = m_device->GetPresets();
    for (std::size_t k = 0; k < presets.size(); ++k) {
      auto* item = new QListWidgetItem(RowText(int(k + 1), *presets[k]), m_list);
      if (presets[k]->HoldsAnySection()) item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    const CNerexMemoryView xovers = m_device->GetXoverPresets();
    for (std::size_t k = 0; k < xovers.size(); ++k)
      new QListWidgetItem(QStringLiteral("X%1. %2").arg(k + 1).arg(QString::fromUtf8(xovers[k]->name)), m_list);
    // The rows beyond the memories the read-out found the unit to hold.
    for (int row = 0; row < m_list->count(); ++row)
      if (const std::string refusal = m_device->RowBeyondUnitRefusal(row); !refusal.empty())
        MarkBeyondUnit(*m_list->item(row), QString::fromStdString(refusal));
  }
  m_list->setCurrentRow(selected < m_list->count() ? selected : -1);
  m_filling = false;
  UpdateButtons();
}

void CNerexSeriesPresetDlg::UpdateButtons() {
  const int row = m_list->currentRow();
  const int count = int(m_device->GetPresets().size());
  const bool memory = row >= 0 && row < count;
  bool stored = false;
  if (memory) {
    CSingleLock lock(m_device->SettingsLock());
    stored = m_device->GetPresets()[std::size_t(row)]->HoldsAnySection();
  }
  // A store needs a section to hold.
  m_store->setEnabled(memory && row < kRowsWithStore && GetStoreMask() != 0);
  m_clear->setEnabled(memory && stored && row < kRowsWithStore);
  m_recall->setEnabled(row >= 0);
}

int CNerexSeriesPresetDlg::GetSelectedRow() const { return m_list->currentRow(); }

std::uint32_t CNerexSeriesPresetDlg::GetStoreMask() const {
  std::uint32_t mask = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (m_storeBoxes[std::size_t(bit)]->isChecked() && m_storeBoxes[std::size_t(bit)]->isEnabled()) mask |= 1u << bit;
  return mask;
}

std::uint32_t CNerexSeriesPresetDlg::GetRecallMask() const {
  std::uint32_t mask = 0;
  for (int bit = 0; bit < 4; ++bit)
    if (m_recallBoxes[std::size_t(bit)]->isChecked()) mask |= 1u << bit;
  return mask;
}

std::string CNerexSeriesPresetDlg::GetRowName(int) const { return m_renamed.toStdString(); }

void CNerexSeriesPresetDlg::Raise(int id) {
  // A unit away online takes no preset action: the manager says so before anything is asked,
  // and its rows show what the memories keep.
  if (m_device->HeldValues().IsAwayOnline()) {
    Refill();
    ShowWarning(QString::fromLatin1(kNotConnectedRefusal));
    return;
  }
  // Nor a store, recall or rename of a memory the unit does not hold, as the read-out found
  // (it may have found so while the manager was open): the row is marked and the manager says
  // so. A clear is taken: it empties the file's memory, which the unit has none of.
  if (id != 500) {
    if (const std::string refusal = m_device->RowBeyondUnitRefusal(GetSelectedRow()); !refusal.empty()) {
      Refill();
      ShowWarning(QString::fromStdString(refusal));
      return;
    }
  }
  CNerexPresetAnswer answer;
  answer.row = GetSelectedRow();
  answer.storeMask = GetStoreMask();
  answer.recallMask = GetRecallMask();
  answer.name = GetRowName(answer.row);
  ConfirmAndApplyUserChange(*m_device, CParamValue(id, 0.0f, ParamKind::kNone), answer);
  Refill();
}

void CNerexSeriesPresetDlg::OnRenamed(QListWidgetItem* item) {
  if (m_filling) return;
  const int row = m_list->row(item);
  // The row shows "%d. name": the name is what follows the number.
  QString text = item->text();
  const QString prefix = QStringLiteral("%1. ").arg(row + 1);
  if (text.startsWith(prefix)) text = text.mid(prefix.size());
  m_renamed = text.trimmed();
  m_list->setCurrentRow(row);
  if (const std::string refusal = PresetNameRefusal(m_renamed.toStdString()); !refusal.empty()) {
    Refill();  // the row shows the name the memory keeps
    ShowWarning(QString::fromStdString(refusal));
    return;
  }
  Raise(499);
}

void CNerexSeriesPresetDlg::showEvent(QShowEvent* event) {
  if (!m_opened) {
    m_opened = true;
    if (QWidget* parent = parentWidget()) move(parent->mapToGlobal(m_offset));
  }
  CBitmapDialogEx::showEvent(event);
}
