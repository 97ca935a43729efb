#include "gui/contact_list.hpp"

#include <QSignalBlocker>

namespace orv {
namespace {

constexpr int kLargeIcon = 32;

// Names sort without regard to case.
class ContactItem final : public QListWidgetItem {
 public:
  bool operator<(const QListWidgetItem& other) const override {
    return text().compare(other.text(), Qt::CaseInsensitive) < 0;
  }
};

}  // namespace

ContactList::ContactList(QWidget* parent) : QListWidget(parent) {
  setViewMode(QListView::ListMode);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(QSize(kLargeIcon, kLargeIcon));
  setUniformItemSizes(true);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setFrameShape(QFrame::StyledPanel);
}

void ContactList::ShowRows(const std::vector<ContactRow>& rows) {
  const QSignalBlocker quiet(this);
  while (items_.size() > rows.size()) {
    delete items_.back();  // leaves the list with it
    items_.pop_back();
  }
  while (items_.size() < rows.size()) {
    auto* item = new ContactItem;
    addItem(item);
    items_.push_back(item);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    QListWidgetItem* item = items_[i];
    item->setText(QString::fromUtf8(rows[i].name.data(), static_cast<qsizetype>(rows[i].name.size())));
    item->setIcon(icons_.Icon(rows[i].image));
    item->setData(kRowRole, static_cast<qulonglong>(i));
    item->setData(kImageRole, rows[i].image);
    item->setToolTip(QString::fromStdString(rows[i].ip_text + ":" + rows[i].port_text));
  }
  sortItems(Qt::AscendingOrder);
}

void ContactList::SelectRow(size_t row) {
  QListWidgetItem* item = ItemOfRow(row);
  if (!item) return;
  const QSignalBlocker quiet(this);
  setCurrentItem(item);
  scrollToItem(item);
}

std::optional<size_t> ContactList::RowOf(const QListWidgetItem* item) const {
  if (!item) return std::nullopt;
  const QVariant row = item->data(kRowRole);
  if (!row.isValid()) return std::nullopt;
  return static_cast<size_t>(row.toULongLong());
}

std::optional<size_t> ContactList::SelectedRow() const {
  const QList<QListWidgetItem*> chosen = selectedItems();
  if (chosen.isEmpty()) return std::nullopt;
  return RowOf(chosen.first());
}

QListWidgetItem* ContactList::ItemOfRow(size_t row) const { return row < items_.size() ? items_[row] : nullptr; }

}  // namespace orv
