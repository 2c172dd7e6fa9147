// The link manager dialog.
#include "core/model/DeviceTexts.h"
#include "ui/dialogs/LinkManagerDlg.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "core/model/Device.h"
#include "core/model/Link.h"
#include "core/model/NameRules.h"
#include "core/values/ParamRecords.h"
#include "core/system/System.h"
#include "ui/dialogs/TreeCtrlEx.h"
#include "widgets/ErrorTip.h"
#include "widgets/TypedLength.h"

namespace {

// The links tree on the left, the device and its parameters on the right, "<<" and ">>"
// between: wide enough for a member named by its device's name, model and ID and its parameter.
constexpr int kMargin = 14;
constexpr int kTreeWidth = 420;
constexpr int kButtonsX = kMargin + kTreeWidth + 10;
constexpr int kListX = kButtonsX + 50;
constexpr int kListWidth = 330;
constexpr int kWidth = kListX + kListWidth + kMargin;
constexpr int kHeight = 420;
constexpr int kPointerRole = Qt::UserRole;
constexpr int kRefusalTipMs = 3000;

// Link names are typed in an editor that takes at most 30 typed characters; a longer paste
// goes in whole and is refused in words when the edit ends.
class CLinkNameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) LimitTypedLength(line, CLinkManagerDlg::kMaxLinkName);
    return editor;
  }
};

static_assert(kLinkNameRule.maxCharacters == std::size_t(CLinkManagerDlg::kMaxLinkName));

template <typename T>
T* PointerOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<T*>(item->data(0, kPointerRole).value<quintptr>()) : nullptr;
}

void SetPointer(QTreeWidgetItem* item, const void* p) {
  item->setData(0, kPointerRole, QVariant::fromValue(reinterpret_cast<quintptr>(p)));
}

}  // namespace

CLinkManagerDlg::CLinkManagerDlg(CSystem& system, QWidget* parent) : CBitmapDialogEx(parent), m_system(system) {
  auto* linksLabel = new QLabel(QStringLiteral("Links"), this);
  linksLabel->setGeometry(kMargin, 32, 100, 20);
  m_addLink = new QPushButton(QStringLiteral("+"), this);
  m_addLink->setGeometry(kMargin + kTreeWidth - 70, 30, 32, 24);
  m_deleteLink = new QPushButton(QStringLiteral("-"), this);
  m_deleteLink->setGeometry(kMargin + kTreeWidth - 32, 30, 32, 24);
  m_tree = new CTreeCtrlEx(this);
  m_tree->setGeometry(kMargin, 58, kTreeWidth, kHeight - 72);
  m_tree->setItemDelegate(new CLinkNameDelegate(m_tree));
  m_tree->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
  m_tree->setExpandsOnDoubleClick(true);

  m_addMember = new QPushButton(QStringLiteral("<<"), this);
  m_addMember->setGeometry(kButtonsX, 190, 40, 26);
  m_removeMember = new QPushButton(QStringLiteral(">>"), this);
  m_removeMember->setGeometry(kButtonsX, 226, 40, 26);
  m_removeMember->setEnabled(false);

  auto* deviceLabel = new QLabel(QStringLiteral("Device"), this);
  deviceLabel->setGeometry(kListX, 32, 200, 20);
  m_devices = new QComboBox(this);
  m_devices->setGeometry(kListX, 56, kListWidth, 24);
  auto* parameterLabel = new QLabel(QStringLiteral("Parameter"), this);
  parameterLabel->setGeometry(kListX, 88, 200, 20);
  m_parameters = new QListWidget(this);
  m_parameters->setGeometry(kListX, 112, kListWidth, kHeight - 126);

  for (QPushButton* button : {m_addLink, m_deleteLink, m_addMember, m_removeMember}) button->setAutoDefault(false);
  connect(m_addLink, &QPushButton::clicked, this, [this] { OnAddLink(); });
  connect(m_deleteLink, &QPushButton::clicked, this, [this] { OnDeleteLink(); });
  connect(m_addMember, &QPushButton::clicked, this, [this] { OnAddMember(); });
  connect(m_removeMember, &QPushButton::clicked, this, [this] { OnRemoveMember(); });
  connect(m_parameters, &QListWidget::itemDoubleClicked, this, [this] { OnAddMember(); });
  connect(m_devices, &QComboBox::currentIndexChanged, this, [this] {
    if (!m_filling) FillParameterList();
  });
  connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { OnTreeSelectionChanged(); });
  connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OnMemberDoubleClicked(item); });
  connect(m_tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { OnItemRenamed(item); });
  resize(kWidth, kHeight);
}

CLink* CLinkManagerDlg::ItemLink(const QTreeWidgetItem* item) {
  return item && !item->parent() ? PointerOf<CLink>(item) : nullptr;
}

CLinkRef* CLinkManagerDlg::ItemMember(const QTreeWidgetItem* item) {
  return item && item->parent() ? PointerOf<CLinkRef>(item) : nullptr;
}

void CLinkManagerDlg::showEvent(QShowEvent* event) {
  CBitmapDialogEx::showEvent(event);
  if (!m_initialised) OnInitDialog();
}

QString CLinkManagerDlg::MemberText(const CLinkRef& member) const {
  CDevice* device = m_system.FindDeviceByUuid(member.GetUuid());
  if (!device) return QString();
  return QString::fromStdString(DeviceListText(*device) + " - " + device->GetParameterAt(int(member.m_parameterId)).name);
}

QTreeWidgetItem* CLinkManagerDlg::AddLinkItem(CLink* link) {
  m_filling = true;
  auto* item = new QTreeWidgetItem(m_tree, {QString::fromStdString(link->GetName())});
  SetPointer(item, link);
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  m_filling = false;
  return item;
}

QTreeWidgetItem* CLinkManagerDlg::AddMemberItem(QTreeWidgetItem* linkItem, CLinkRef* member) {
  m_filling = true;
  auto* item = new QTreeWidgetItem(linkItem);
  SetPointer(item, member);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  m_filling = false;
  ShowMemberState(item, *member);
  return item;
}

void CLinkManagerDlg::ShowMemberState(QTreeWidgetItem* item, const CLinkRef& member) {
  m_filling = true;
  QString text = MemberText(member);
  // A member that a value of the link passed by while its unit was away says so, in red, and
  // its link is opened to show it.
  if (member.IsOutOfLine()) {
    text = QString::fromLatin1(kOutOfLineMark) + text;
    item->setText(0, text);
    text += QStringLiteral("\n") + QString::fromLatin1(kOutOfLineNote);
    item->setForeground(0, QColor(170, 0, 0));
    if (item->parent()) item->parent()->setExpanded(true);
  } else {
    item->setText(0, text);
    item->setForeground(0, QBrush());
    if (member.m_displayFlag) m_tree->SetItemGrey(item);
  }
  item->setToolTip(0, text);  // the whole text, should a long name be cut
  m_filling = false;
}

void CLinkManagerDlg::ShowOutOfLineMarks() {
  for (int l = 0; l < m_tree->topLevelItemCount(); ++l) {
    QTreeWidgetItem* linkItem = m_tree->topLevelItem(l);
    for (int m = 0; m < linkItem->childCount(); ++m) {
      QTreeWidgetItem* item = linkItem->child(m);
      const CLinkRef* member = ItemMember(item);
      if (!member || member->IsOutOfLine() == item->text(0).startsWith(QString::fromLatin1(kOutOfLineMark))) continue;
      ShowMemberState(item, *member);
    }
  }
}

void CLinkManagerDlg::ShowMaster(QTreeWidgetItem* linkItem) {
  const CLink* link = ItemLink(linkItem);
  if (!link) return;
  m_filling = true;
  for (int i = 0; i < linkItem->childCount(); ++i) m_tree->SetItemBold(linkItem->child(i), i == link->m_master);
  m_filling = false;
}

void CLinkManagerDlg::OnInitDialog() {
  m_initialised = true;
  m_tree->clear();
  m_lastLinkItem = nullptr;
  for (CLink* link : m_system.Links().GetLinks()) {
    QTreeWidgetItem* linkItem = AddLinkItem(link);
    for (CLinkRef* member : link->GetMembers()) AddMemberItem(linkItem, member);
    ShowMaster(linkItem);
  }
  m_filling = true;
  m_devices->clear();
  for (CDevice* device : m_system.GetDevices()) {
    const QString label = QString::fromStdString(DeviceListText(*device));
    m_devices->addItem(label);
    m_devices->setItemData(m_devices->count() - 1, label, Qt::ToolTipRole);
  }
  m_filling = false;
  const int count = m_devices->count();
  if (count == 0) return;
  if (m_currentDevice < 0 || m_currentDevice >= count) m_currentDevice = 0;
  m_filling = true;
  m_devices->setCurrentIndex(m_currentDevice);
  m_filling = false;
  FillParameterList();
}

CDevice* CLinkManagerDlg::SelectedDevice() const { return m_system.GetDevice(m_devices->currentIndex()); }

QTreeWidgetItem* CLinkManagerDlg::SelectedLinkItem() const {
  QTreeWidgetItem* item = m_tree->currentItem();
  if (!item) return nullptr;
  return item->parent() ? item->parent() : item;
}

void CLinkManagerDlg::FillParameterList() {
  const int selected = m_devices->currentIndex();
  if (selected < 0) return;
  m_currentDevice = selected;
  CDevice* device = SelectedDevice();
  if (!device) return;

  // Only parameters that go with the link's first member, or all of them.
  CParamInfo reference;
  reference.name = "NULL";
  if (const CLink* link = ItemLink(SelectedLinkItem()); link && !link->GetMembers().empty()) {
    const CLinkRef* first = link->GetMembers().front();
    if (CDevice* firstDevice = m_system.FindDeviceByUuid(first->GetUuid()))
      reference = firstDevice->GetParameterAt(int(first->m_parameterId));
  }
  m_parameters->clear();
  std::vector<CParamInfo> matching;
  device->ListMatchingParameters(reference, matching);
  for (const CParamInfo& info : matching) {
    if (m_system.Links().IsParameterLinked(device->GetUuid(), std::uint32_t(info.id))) continue;
    if ((info.options & kParamOptionReadOnly) != 0) continue;
    auto* row = new QListWidgetItem(QString::fromStdString(info.name), m_parameters);
    row->setData(kPointerRole, info.id);
  }
}

void CLinkManagerDlg::OnAddLink() {
  CLink* link = m_system.Links().AddLink();
  AddLinkItem(link);
}

void CLinkManagerDlg::OnDeleteLink() {
  QTreeWidgetItem* linkItem = SelectedLinkItem();
  CLink* link = ItemLink(linkItem);
  if (!link) return;
  // The item goes first: the selection it hands on may still read the link.
  delete linkItem;
  if (m_lastLinkItem == linkItem) m_lastLinkItem = nullptr;
  m_system.Links().DeleteLink(link);
  FillParameterList();
}

void CLinkManagerDlg::OnAddMember() {
  QTreeWidgetItem* linkItem = SelectedLinkItem();
  CLink* link = ItemLink(linkItem);
  QListWidgetItem* parameter = m_parameters->currentItem();
  CDevice* device = SelectedDevice();
  if (!link || !parameter || !parameter->isSelected() || !device) return;
  const auto id = std::uint32_t(parameter->data(kPointerRole).toInt());
  CLinkRef* member = link->AddMember(device->GetUuid(), id);
  QTreeWidgetItem* memberItem = AddMemberItem(linkItem, member);
  linkItem->setExpanded(true);
  delete m_parameters->takeItem(m_parameters->row(parameter));
  if (link->GetMembers().size() == 1) {
    link->m_master = 0;
    FillParameterList();
    m_filling = true;
    m_tree->SetItemBold(memberItem, true);
    m_filling = false;
  }
}

void CLinkManagerDlg::OnRemoveMember() {
  QTreeWidgetItem* item = m_tree->currentItem();
  CLinkRef* member = ItemMember(item);
  if (!member) return;
  QTreeWidgetItem* linkItem = item->parent();
  CLink* link = ItemLink(linkItem);
  const std::vector<CLinkRef*>* members = link ? &link->GetMembers() : nullptr;
  const auto it = members ? std::find(members->begin(), members->end(), member) : std::vector<CLinkRef*>::const_iterator();
  if (!members || it == members->end()) {
    delete item;
    FillParameterList();
    return;
  }
  m_system.Links().RemoveLinkMember(*link, std::size_t(it - members->begin()));
  delete item;
  ShowMaster(linkItem);
  FillParameterList();
}

void CLinkManagerDlg::OnMemberDoubleClicked(QTreeWidgetItem* item) {
  CLinkRef* member = ItemMember(item);
  if (!member) return;
  CLink* link = ItemLink(item->parent());
  const int index = item->parent()->indexOfChild(item);
  if (!link || link->m_master == index) return;
  link->m_master = index;
  ShowMaster(item->parent());
}

void CLinkManagerDlg::OnTreeSelectionChanged() {
  QTreeWidgetItem* item = m_tree->currentItem();
  m_removeMember->setEnabled(ItemMember(item) != nullptr);
  QTreeWidgetItem* linkItem = SelectedLinkItem();
  if (linkItem != m_lastLinkItem) {
    m_lastLinkItem = linkItem;
    FillParameterList();
  }
}

void CLinkManagerDlg::OnItemRenamed(QTreeWidgetItem* item) {
  if (m_filling) return;
  CLink* link = ItemLink(item);
  if (!link) return;
  const std::string name = item->text(0).toStdString();
  // A name the rule refuses (a line end would split the log's line that names the link, a
  // paste beyond 30 characters) is said under the item, which shows the kept name again.
  if (const std::string refusal = NameRefusal(name, kLinkNameRule); !refusal.empty()) {
    m_filling = true;
    item->setText(0, QString::fromStdString(link->m_name));
    m_filling = false;
    const QRect shown = m_tree->visualItemRect(item);
    const QRect at(m_tree->viewport()->mapTo(this, shown.topLeft()), shown.size());
    if (!m_refusalTip) m_refusalTip = new CErrorTip(this);
    m_refusalTip->ShowBeside(*this, at, QString::fromStdString(refusal), kRefusalTipMs);
    return;
  }
  link->m_name = name;
}

void CLinkManagerDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CBitmapDialogEx::keyPressEvent(event);
}
