#pragma once

#include <vector>

#include "reference/library_records.h"

class QString;
class QTableWidget;
class QWidget;

namespace tbp {

// The "Functions" tab: a search line above the table of records, wired to the filter.
QWidget* buildFunctionsTab(const std::vector<FunctionRecord>& records);

// Shows the rows of the functions table whose group, name, parameters, returns or description
// contain text, ignoring case; an empty text shows every row.
void filterFunctionRows(QTableWidget& table, const QString& text);

}  // namespace tbp
