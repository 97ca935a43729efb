// The look of the tool windows' lists: a report view with a header, whole
// rows selected one at a time, grid lines, no editing, and fixed column
// widths in pixels.
#pragma once

#include <initializer_list>

class QTableView;

namespace orv {

void SetUpReportView(QTableView& view, std::initializer_list<int> column_widths);

}  // namespace orv
