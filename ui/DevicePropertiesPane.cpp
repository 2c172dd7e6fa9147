// Properties pane, its grid, the in-place editors, the commit of an edit and the error tip.
#include "ui/DevicePropertiesPane.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QTimerEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "custom/CPData.h"
#include "custom/CustomControlObject.h"
#include "core/model/Device.h"
#include "core/model/DeviceHost.h"
#include "custom/PropertyPickers.h"
#include "core/support/ScopeGuard.h"
#include "core/support/SystemMessages.h"
#include "platform/WindowMessages.h"
#include "widgets/ErrorTip.h"

namespace {

constexpr int kRowRole = Qt::UserRole + 1;

// The "Set" button of a row in Set-button mode: a grey gradient in a rounded outline.
class CSetButton : public QAbstractButton {
 public:
  explicit CSetButton(QWidget* parent) : QAbstractButton(parent) {
    setText(QStringLiteral("Set"));
    setCursor(Qt::ArrowCursor);
  }
  QSize sizeHint() const override {
    const int h = fontMetrics().height() + 4;
    return {2 * h - 3, h};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0, 1, 0, 0);
    QPainterPath clip;
    clip.addRoundedRect(r, 2.5, 2.5);
    p.setClipPath(clip);
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
    const bool down = isDown();
    gradient.setColorAt(0, QColor::fromRgb(down ? 0x646464 : 0x969696));
    gradient.setColorAt(1, QColor::fromRgb(down ? 0x969696 : 0xC8C8C8));
    p.fillRect(inner, gradient);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(inner.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setClipping(false);
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
  }
};

// Escape cancels the edit; every other key goes to the editor.
class CEscapeFilter : public QObject {
 public:
  CEscapeFilter(CDevicePropertiesCtrl* grid, QObject* parent) : QObject(parent), m_grid(grid) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      m_grid->EndEdit(false);
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  CDevicePropertiesCtrl* m_grid;
};

// The option texts of a list row; "True" and "False" for a true/false row.
QStringList OptionTexts(const CDeviceProperty& row) {
  QStringList list;
  for (const std::string& text : row.GetOptions()) list << QString::fromStdString(text);
  if (list.isEmpty() && row.GetValueType() == EPropertyValueType::Bool) list << QStringLiteral("True") << QStringLiteral("False");
  return list;
}

// An edit mask of "D" positions (one digit each) in the line edit's terms, with its blank.
QString QtInputMask(const CDeviceProperty& row) {
  QString mask;
  for (char c : row.GetEditMask()) {
    if (c == 'D') {
      mask += QLatin1Char('0');
    } else {
      mask += QLatin1Char('\\');
      mask += QLatin1Char(c);
    }
  }
  const std::string& templ = row.GetEditTemplate();
  if (!templ.empty()) mask += QLatin1Char(';') + QChar(QLatin1Char(templ[0]));
  return mask;
}

CDeviceProperty* RowAt(const QModelIndex& index) {
  return reinterpret_cast<CDeviceProperty*>(index.siblingAtColumn(0).data(kRowRole).value<quintptr>());
}

// The colour swatch of a colour row's value cell: filled with the colour, framed in black.
// Returns the swatch rectangle.
QRect DrawSwatch(QPainter& p, const QRect& cell, std::uint32_t colorRef) {
  const CRect r = CColourPropertyCtrl::SwatchRect(CRect{cell.left(), cell.top(), cell.left() + cell.width(),
                                                        cell.top() + cell.height()});
  const QRect swatch(r.left, r.top, r.right - r.left, r.bottom - r.top);
  if (swatch.width() <= 0 || swatch.height() <= 0) return swatch;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(swatch, QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF)));
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(swatch.adjusted(0, 0, -1, -1));
  p.restore();
  return swatch;
}

// Value cells: a colour row draws its swatch at the left of the cell and its text after it;
// every other cell is drawn as usual.
class CValueDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    auto* colour = index.column() == 1 ? dynamic_cast<CColourPropertyCtrl*>(RowAt(index)) : nullptr;
    if (!colour) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    const int h = option.rect.height();
    QStyleOptionViewItem text = option;
    text.rect.setLeft(option.rect.left() + h);
    // The band under the swatch keeps the cell's background (the selection's too).
    QStyleOptionViewItem band = option;
    initStyleOption(&band, index);
    band.text.clear();
    band.rect.setWidth(h);
    const QWidget* view = option.widget;
    QStyle* style = view ? view->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &band, painter, view);
    QStyledItemDelegate::paint(painter, text, index);
    const QRect swatch = DrawSwatch(*painter, option.rect, colour->m_colour);
    colour->m_swatch = CRect{swatch.left(), swatch.top(), swatch.left() + swatch.width(), swatch.top() + swatch.height()};
  }
};

// The swatch in front of an open colour row's edit: the edit starts 4 pixels after it.
class CSwatchLabel : public QWidget {
 public:
  CSwatchLabel(const CColourPropertyCtrl* row, int height, QWidget* parent) : QWidget(parent), m_row(row) {
    setFixedWidth(height + 3);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    DrawSwatch(p, QRect(0, 0, height(), height()), m_row->m_colour);
  }

 private:
  const CColourPropertyCtrl* m_row;
};

}  // namespace

// --- The grid ---

CDevicePropertiesCtrl::CDevicePropertiesCtrl(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(2);
  setHeaderHidden(true);
  setRootIsDecorated(true);
  setIndentation(12);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setStretchLastSection(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  header()->setSectionResizeMode(0, QHeaderView::Interactive);
  setItemDelegate(new CValueDelegate(this));
  connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
    if (m_editRow && ItemOf(m_editRow) != current) EndEdit(true);
    UpdateDescription();
  });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    if (CDeviceProperty* row = RowOf(item); row && row != m_editRow) BeginEdit(row);
  });
}

CDevicePropertiesCtrl::~CDevicePropertiesCtrl() {
  if (m_errorTimer) killTimer(m_errorTimer);
}

void CDevicePropertiesCtrl::AddGroup(std::unique_ptr<CDevicePropertyGroup> group) {
  auto* heading = new QTreeWidgetItem(this);
  heading->setText(0, QString::fromStdString(group->name));
  heading->setFirstColumnSpanned(true);
  heading->setFlags(Qt::ItemIsEnabled);
  QFont bold = font();
  bold.setBold(true);
  heading->setFont(0, bold);
  const QBrush band(palette().color(QPalette::AlternateBase).darker(108));
  heading->setBackground(0, band);
  for (const auto& row : group->rows) {
    auto* item = new QTreeWidgetItem(heading);
    item->setData(0, kRowRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(row.get())));
    item->setText(0, QString::fromStdString(row->GetName()));
    item->setToolTip(0, QString::fromStdString(row->GetDescription()));
    if (!row->IsEnabled()) item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
    if (!row->IsEnabled()) item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    UpdateItemText(*row);
  }
  m_groups.push_back(std::move(group));
  FitNameColumn();
}

void CDevicePropertiesCtrl::ExpandAll() {
  expandAll();
  FitNameColumn();
}

void CDevicePropertiesCtrl::FitNameColumn() {
  int names = 0;
  const QFontMetrics metrics(font());
  for (const auto& group : m_groups)
    for (const auto& row : group->rows)
      names = std::max(names, metrics.horizontalAdvance(QString::fromStdString(row->GetName())));
  const int width = viewport()->width();
  setColumnWidth(0, std::clamp(names + 2 * indentation() + 24, width * 45 / 100, std::max(width * 2 / 3, 40)));
}

void CDevicePropertiesCtrl::RemoveAll() {
  CloseEditor();
  clear();
  m_groups.clear();
  UpdateDescription();
}

void CDevicePropertiesCtrl::SetCurrentDevice(CDevice* device) {
  ClearCurrent();
  m_device = device;
  m_currentHandle = device ? device->GetHandle() : 0;
}

void CDevicePropertiesCtrl::SetCurrentPanel(CCustomControlPanel* panel) {
  ClearCurrent();
  m_panel = panel;
  m_currentHandle = panel ? panel->GetHandle() : 0;
}

void CDevicePropertiesCtrl::SetCurrentWidget(CCustomControlObject* widget) {
  ClearCurrent();
  m_widget = widget;
  m_currentHandle = widget ? widget->GetHandle() : 0;
}

void CDevicePropertiesCtrl::ClearCurrent() {
  m_device = nullptr;
  m_panel = nullptr;
  m_widget = nullptr;
  m_currentHandle = 0;
}

void CDevicePropertiesCtrl::OnObjectEnded(std::uint64_t handle) {
  // The rows of an ended object, and those naming it, must never reach it again.
  bool named = false;
  for (const auto& group : m_groups)
    for (const auto& row : group->rows) {
      auto* picker = dynamic_cast<CPickerPropertyCtrl*>(row.get());
      if (picker && picker->ForgetObject(handle)) {
        named = true;
        UpdateItemText(*picker);
      }
    }
  if (handle != m_currentHandle) {
    if (named) PostRebuild();
    return;
  }
  ClearCurrent();
  if (!m_locked) {
    RemoveAll();
    return;
  }
  // A handler is running with one of the rows: they go once it is over.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (!m_locked && !m_device && !m_panel && !m_widget) RemoveAll();
      },
      Qt::QueuedConnection);
}

CDeviceProperty* CDevicePropertiesCtrl::FindRow(const std::string& name) const {
  for (const auto& group : m_groups)
    for (const auto& row : group->rows)
      if (row->GetName() == name) return row.get();
  return nullptr;
}

CDeviceProperty* CDevicePropertiesCtrl::RowOf(const QTreeWidgetItem* item) const {
  if (!item) return nullptr;
  return reinterpret_cast<CDeviceProperty*>(item->data(0, kRowRole).value<quintptr>());
}

QTreeWidgetItem* CDevicePropertiesCtrl::ItemOf(const CDeviceProperty* row) const {
  if (!row) return nullptr;
  for (int g = 0; g < topLevelItemCount(); ++g) {
    QTreeWidgetItem* heading = topLevelItem(g);
    for (int i = 0; i < heading->childCount(); ++i)
      if (RowOf(heading->child(i)) == row) return heading->child(i);
  }
  return nullptr;
}

void CDevicePropertiesCtrl::ShowRowValue(std::uint32_t data, const std::string& text) {
  for (const auto& group : m_groups)
    for (const auto& row : group->rows) {
      if (row->GetData() != data || row.get() == m_editRow) continue;
      row->SetValue(text);
      row->SetReferenceValue(text);
      UpdateItemText(*row);
    }
}

void CDevicePropertiesCtrl::UpdateItemText(const CDeviceProperty& row) {
  if (QTreeWidgetItem* item = ItemOf(&row)) item->setText(1, QString::fromStdString(row.GetValueText()));
}

void CDevicePropertiesCtrl::UpdateDescription() {
  if (!m_description) return;
  const CDeviceProperty* row = RowOf(currentItem());
  if (!row) {
    m_description->clear();
    return;
  }
  m_description->setText(QStringLiteral("<b>%1</b><br>%2")
                             .arg(QString::fromStdString(row->GetName()).toHtmlEscaped(),
                                  QString::fromStdString(row->GetDescription()).toHtmlEscaped()));
}

void CDevicePropertiesCtrl::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  FitNameColumn();
}

void CDevicePropertiesCtrl::focusOutEvent(QFocusEvent* event) { (void)event; }

// --- In-place editors ---

bool CDevicePropertiesCtrl::BeginEdit(CDeviceProperty* row) {
  QTreeWidgetItem* item = ItemOf(row);
  if (!item) return false;
  if (m_editRow && m_editRow != row) EndEdit(true);
  if (currentItem() != item) setCurrentItem(item);
  if (m_editRow == row) return true;
  if (!row->IsEnabled()) return false;
  const QStringList options = OptionTexts(*row);
  const bool list = !options.isEmpty();
  if (!list && !row->IsAllowEdit() && !row->HasPickerButton() && !row->HasButton()) return false;

  m_editRow = row;
  m_comboPicked = -1;
  row->SetComboSelection(-1);
  m_editStartText = row->GetValueText();
  row->SetEditText(m_editStartText);

  auto* container = new QWidget(viewport());
  container->setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(container);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  QWidget* field = nullptr;
  if (const auto* colour = dynamic_cast<const CColourPropertyCtrl*>(row))
    layout->addWidget(new CSwatchLabel(colour, visualItemRect(item).height(), container));
  if (list) {
    auto* combo = new QComboBox(container);
    combo->addItems(options);
    combo->setEditable(row->IsAllowEdit() && !row->GetOptions().empty());
    combo->setCurrentIndex(int(options.indexOf(QString::fromStdString(m_editStartText))));
    if (combo->isEditable()) combo->setEditText(QString::fromStdString(m_editStartText));
    connect(combo, &QComboBox::activated, this, [this](int index) { OnCloseCombo(index); });
    field = combo;
  } else {
    auto* edit = new QLineEdit(container);
    edit->setFrame(false);
    if (!row->GetEditMask().empty()) edit->setInputMask(QtInputMask(*row));
    edit->setText(QString::fromStdString(m_editStartText));
    edit->setReadOnly(!row->IsAllowEdit());
    connect(edit, &QLineEdit::textEdited, this, [this](const QString& text) {
      if (m_editRow) m_editRow->SetEditText(text.toStdString());
    });
    connect(edit, &QLineEdit::returnPressed, this, [this] { EndEdit(true); });
    field = edit;
  }
  field->installEventFilter(new CEscapeFilter(this, field));
  layout->addWidget(field, 1);
  if (row->HasButton()) {
    auto* set = new CSetButton(container);
    set->setObjectName(QStringLiteral("SetButton"));
    connect(set, &QAbstractButton::clicked, this, [this] { OnClickButton(); });
    layout->addWidget(set);
  } else if (row->HasPickerButton()) {
    auto* button = new QToolButton(container);
    button->setObjectName(QStringLiteral("RowButton"));
    button->setText(QStringLiteral("..."));
    connect(button, &QAbstractButton::clicked, this, [this] { OnClickButton(); });
    layout->addWidget(button);
  }
  m_editor = container;
  setItemWidget(item, 1, container);
  field->setFocus();
  return true;
}

void CDevicePropertiesCtrl::CloseEditor() {
  CDeviceProperty* row = m_editRow;
  QWidget* editor = m_editor;
  m_editRow = nullptr;
  m_editor = nullptr;
  if (!row) return;
  row->SetEditText(std::nullopt);
  if (editor) editor->hide();  // it is deleted later, when the events run
  if (QTreeWidgetItem* item = ItemOf(row)) removeItemWidget(item, 1);
  else if (editor) editor->deleteLater();
}

void CDevicePropertiesCtrl::EndEdit(bool update) {
  CDeviceProperty* row = m_editRow;
  if (!row) return;
  if (update) {
    ValidateItemData(*row);
    // The row stores what its editor holds now (after a refusal, the text put back); a
    // picker row shows its own value whatever was typed.
    if (auto* picker = dynamic_cast<CPickerPropertyCtrl*>(row))
      picker->ShowOwnValue();
    else
      row->SetVariant(row->GetValueAsVariant());
  }
  const bool changed = update && row->GetValueText() != m_editStartText;
  CloseEditor();
  UpdateItemText(*row);
  if (changed) OnPropertyChanged(*row);
}

void CDevicePropertiesCtrl::OnCloseCombo(int index) {
  if (!m_editRow) return;
  const QStringList options = OptionTexts(*m_editRow);
  if (index < 0 || index >= options.size()) return;
  m_comboPicked = index;
  m_editRow->SetEditText(options[index].toStdString());
  EndEdit(true);
}

void CDevicePropertiesCtrl::OnClickButton() {
  CDeviceProperty* row = m_editRow;
  if (!row) return;
  if (row->HasButton()) {
    row->SetInClick(true);
    EndEdit(true);
    row->SetInClick(false);
    return;
  }
  {
    // The row's dialog runs meanwhile: nothing may empty the grid under it.
    const CScopedValue busy(m_locked, true);
    row->OnClickButton();
  }
  if (m_editRow == row) {
    row->SetEditText(row->GetValueText());
    EndEdit(true);
  }
}

// --- The commit ---

IPropertyGridOwner* CDevicePropertiesCtrl::GetCurrentOwner() const {
  if (m_panel) {
    if (auto* owner = dynamic_cast<IPropertyGridOwner*>(m_panel)) return owner;
    return m_panel->GetPanelData();
  }
  return m_widget;
}

bool CDevicePropertiesCtrl::ValidateItemData(CDeviceProperty& row) {
  const CScopedValue busy(m_locked, true);

  const bool choice = m_comboPicked >= 0 && !row.GetOptions().empty();
  auto* picker = dynamic_cast<CPickerPropertyCtrl*>(&row);
  // Typed text that is no value of the row's type (letters in a number row, a number its word
  // cannot hold) is refused before anything else: it never reaches the owner as 0 or wrapped.
  const std::string unreadable = choice || picker ? std::string() : row.GetEditRefusal();

  IPropertyGridOwner* owner = nullptr;
  CDevice* device = m_device;
  if (device) {
    const bool picked = m_comboPicked >= 0;
    if (row.HasButton() && !row.IsInClick()) return true;  // only the button commits
    if (!picked && unreadable.empty() && !row.HasNewValue() && !row.HasButton()) return true;  // nothing changed
  } else {
    owner = GetCurrentOwner();
  }
  if (!device && !owner) return true;
  std::string refusal = unreadable;
  // A panel's or widget's row needs the right the current user holds now, as a device's does
  // (below): the rows may have been filled for another user.
  if (refusal.empty() && owner && !MayEditPanelRows()) refusal = kNoRightToEditRefusal;
  if (!refusal.empty()) {
    row.SetErrorText(refusal);
    RefuseEdit(row);
    return true;
  }

  // The owner is handed the row before the row takes the edit: it reads the edited value (or
  // the chosen item of the list) while the row keeps its own, so a refused value is never the
  // row's. A picker row holds what its picker chose already.
  if (choice) {
    row.BeginCommitChoice(m_comboPicked);
  } else if (picker) {
    picker->ShowOwnValue();
  } else {
    row.BeginCommit(row.GetValueAsVariant());
  }
  row.SetErrorText(std::string());
  // A device judges its rows by the current user's right now: they may have been filled for
  // another user.
  const bool accepted = device ? device->Gate().ApplyUserPropertyChange(row) : owner->OnPropertyChanged(row);
  row.EndCommit();
  if (accepted) {
    if (choice) row.SetComboSelection(m_comboPicked);
    else if (!picker) row.SetVariant(row.GetValueAsVariant());
    // What the object took is what a later refusal goes back to.
    if (!picker) row.SetReferenceValue(row.GetValue());
    return true;
  }
  RefuseEdit(row);
  return true;
}

bool CDevicePropertiesCtrl::MayEditPanelRows() const {
  return !m_rightsHost || m_rightsHost->CanCurrentUserEditDeviceProperties();
}

void CDevicePropertiesCtrl::RefuseEdit(CDeviceProperty& row) {
  // The row shows what the object holds now, which a change made since the pane was filled
  // (an accepted edit, a unit's report) may have moved; a picker row puts back its own choice.
  if (!dynamic_cast<CPickerPropertyCtrl*>(&row))
    if (std::optional<CDeviceProperty::Value> held = HeldValue(row)) row.SetReferenceValue(std::move(*held));
  row.RestoreReferenceValue();
  row.SetEditText(row.GetValueText());
  m_comboPicked = -1;
  ShowErrorTip(row);
}

namespace {

// The rows an object fills, kept aside from the grid the user sees.
class CRowsAside : public IDevicePropertyGrid {
 public:
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override { groups.push_back(std::move(group)); }
  std::vector<std::unique_ptr<CDevicePropertyGroup>> groups;
};

// Hands the rows an object fills to the grid disabled: shown grey, opening no editor.
class CDisabledRows : public IDevicePropertyGrid {
 public:
  explicit CDisabledRows(IDevicePropertyGrid& grid) : m_grid(grid) {}
  void AddGroup(std::unique_ptr<CDevicePropertyGroup> group) override {
    for (const auto& row : group->rows) row->Enable(false);
    m_grid.AddGroup(std::move(group));
  }

 private:
  IDevicePropertyGrid& m_grid;
};

}  // namespace

std::optional<CDeviceProperty::Value> CDevicePropertiesCtrl::HeldValue(const CDeviceProperty& row) const {
  CRowsAside aside;
  if (m_device)
    m_device->FillPropertiesPane(aside);
  else if (IPropertyGridOwner* owner = GetCurrentOwner())
    owner->FillPropertiesPane(aside);
  for (const auto& group : aside.groups)
    for (const auto& filled : group->rows)
      if (filled->GetData() == row.GetData() && filled->GetName() == row.GetName()) return filled->GetValue();
  return std::nullopt;
}

void CDevicePropertiesCtrl::OnPropertyChanged(CDeviceProperty& row) {
  if (!row.IsRefresh()) return;
  row.SetRefresh(false);
  PostRebuild();
}

void CDevicePropertiesCtrl::PostRebuild() {
  if (!m_sink) return;
  if (m_device) {
    m_sink->Post(CPostedMessage{FrameMsg::kSelectDevice, 0, 1, m_device->GetHandle(), {}});
  } else if (m_panel) {
    m_sink->Post(CPostedMessage{FrameMsg::kShowPanelProps, 0, 1, m_panel->GetHandle(), {}});
  } else if (m_widget) {
    m_sink->Post(CPostedMessage{FrameMsg::kShowWidgetProps, 0, 1, m_widget->GetHandle(), {}});
  }
}

// --- The error tip ---

void CDevicePropertiesCtrl::ShowErrorTip(const CDeviceProperty& row) {
  if (!m_errorTip) m_errorTip = new CErrorTip(this);
  QRect rect = visualItemRect(ItemOf(&row));
  if (!rect.isValid()) rect = QRect(0, 0, viewport()->width(), 0);
  rect.setLeft(0);
  rect.setRight(viewport()->width() - 1);
  m_errorTip->ShowAt(viewport()->mapToGlobal(rect.bottomLeft()), std::max(rect.width() - 20, 60),
                     QString::fromStdString(row.GetMessageText()));
  if (m_errorTimer) killTimer(m_errorTimer);
  m_errorTimer = startTimer(kErrorTipMs);
}

void CDevicePropertiesCtrl::OnErrorTimer() {
  if (m_errorTimer) killTimer(m_errorTimer);
  m_errorTimer = 0;
  if (m_errorTip) m_errorTip->hide();
}

void CDevicePropertiesCtrl::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_errorTimer && m_errorTimer != 0) {
    OnErrorTimer();
    return;
  }
  QTreeWidget::timerEvent(event);
}

bool CDevicePropertiesCtrl::IsErrorTipVisible() const { return m_errorTip && m_errorTip->isVisible(); }
QString CDevicePropertiesCtrl::GetErrorTipText() const { return m_errorTip ? m_errorTip->Message() : QString(); }
QPoint CDevicePropertiesCtrl::GetErrorTipPos() const { return m_errorTip ? m_errorTip->pos() : QPoint(); }
int CDevicePropertiesCtrl::GetErrorTipWidth() const { return m_errorTip ? m_errorTip->width() : 0; }

// --- The pane ---

CDevicePropertiesPane::CDevicePropertiesPane(const QString& title, QWidget* parent) : QDockWidget(title, parent) {
  auto* body = new QWidget(this);
  m_grid = new CDevicePropertiesCtrl(body);
  m_grid->setObjectName(QStringLiteral("PropertiesGrid"));
  m_description = new QLabel(body);
  m_description->setObjectName(QStringLiteral("PropertiesDescription"));
  m_description->setWordWrap(true);
  m_description->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_description->setFrameShape(QFrame::StyledPanel);
  m_description->setMargin(4);
  m_description->setMinimumHeight(m_description->fontMetrics().lineSpacing() * 3 + 10);
  m_description->setTextFormat(Qt::RichText);
  m_grid->SetDescriptionLabel(m_description);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(m_grid, 1);
  layout->addWidget(m_description);
  setWidget(body);
  setMinimumSize(150, 200);
}

void CDevicePropertiesPane::Fill() {
  if (CDevice* device = m_grid->GetCurrentDevice()) {
    device->FillPropertiesPane(*m_grid);
  } else if (IPropertyGridOwner* owner = m_grid->GetCurrentOwner()) {
    // A device disables the rows its user may not edit; a panel's and a widget's rows are
    // disabled here, by the same right.
    CDisabledRows disabled(*m_grid);
    owner->FillPropertiesPane(m_grid->MayEditPanelRows() ? static_cast<IDevicePropertyGrid&>(*m_grid) : disabled);
  }
  m_grid->ExpandAll();
}

void CDevicePropertiesPane::Show(bool force, bool shown, const std::function<void()>& makeCurrent) {
  if (m_grid->IsLocked()) return;
  if (!force && shown) return;
  m_grid->RemoveAll();
  makeCurrent();
  Fill();
}

void CDevicePropertiesPane::ShowDeviceProperties(bool force, CDevice* device) {
  Show(force, m_grid->GetCurrentDevice() == device, [&] { m_grid->SetCurrentDevice(device); });
}

void CDevicePropertiesPane::ShowPanelProperties(bool force, CCustomControlPanel* view) {
  Show(force, m_grid->GetCurrentPanel() == view, [&] { m_grid->SetCurrentPanel(view); });
}

void CDevicePropertiesPane::ShowControlProperties(bool force, CCustomControlObject* widget) {
  Show(force, m_grid->GetCurrentWidget() == widget, [&] { m_grid->SetCurrentWidget(widget); });
}

void CDevicePropertiesPane::RefreshProperties() {
  if (m_grid->IsLocked()) return;
  if (!m_grid->GetCurrentDevice() && !m_grid->GetCurrentPanel() && !m_grid->GetCurrentWidget()) return;
  m_grid->RemoveAll();
  Fill();
}

void CDevicePropertiesPane::ShowControlGeometry(CCustomControlObject* widget, const CRect& rect) {
  if (!widget || m_grid->GetCurrentWidget() != widget) return;
  m_grid->ShowRowValue(kWidgetPositionRow, WidgetPositionText(rect));
  m_grid->ShowRowValue(kWidgetSizeRow, WidgetSizeText(rect));
}
