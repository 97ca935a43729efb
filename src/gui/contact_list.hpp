// The main window's contact list: one item per row of the controller's
// contact list, showing the name with its status image at the large icon
// size, sorted by name. Each item keeps the index of its row in the
// controller's list, which the commands on it use; the sorting only
// changes where it is drawn.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include <QListWidget>

#include "app/main_window/contact_rows.hpp"
#include "gui/icons.hpp"

namespace orv {

class ContactList final : public QListWidget {
 public:
  static constexpr int kRowRole = Qt::UserRole;        // index of the row in the controller's list
  static constexpr int kImageRole = Qt::UserRole + 1;  // the row's image index 0-3

  explicit ContactList(QWidget* parent = nullptr);

  // Writes the rows: items added or dropped at the end, every item's text,
  // image and row index set, then sorted. Selection signals stay quiet.
  void ShowRows(const std::vector<ContactRow>& rows);
  // Selects the item of `row` and scrolls it into view, quietly.
  void SelectRow(size_t row);

  std::optional<size_t> RowOf(const QListWidgetItem* item) const;
  std::optional<size_t> SelectedRow() const;
  QListWidgetItem* ItemOfRow(size_t row) const;
  const StatusIcons& icons() const { return icons_; }

 private:
  StatusIcons icons_;
  std::vector<QListWidgetItem*> items_;  // by row index; owned by the list
};

}  // namespace orv
