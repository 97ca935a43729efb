#include "gui/report_view.hpp"

#include <QHeaderView>
#include <QTableView>

namespace orv {

void SetUpReportView(QTableView& view, std::initializer_list<int> column_widths) {
  view.setSelectionBehavior(QAbstractItemView::SelectRows);
  view.setSelectionMode(QAbstractItemView::SingleSelection);
  view.setEditTriggers(QAbstractItemView::NoEditTriggers);
  view.setShowGrid(true);
  view.setWordWrap(false);
  view.setTextElideMode(Qt::ElideRight);
  view.setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view.verticalHeader()->hide();
  // One line of text per row, the same height for all: long lists stay fast.
  view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 6);
  QHeaderView* header = view.horizontalHeader();
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  int column = 0;
  for (int width : column_widths) header->resizeSection(column++, width);
}

}  // namespace orv
