#include "reference/functions_table.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tbp {

namespace {

constexpr int kColumns = 6;
constexpr int kNameColumn = 2;
constexpr int kFirstStretchedColumn = 3;

QTableWidgetItem* textItem(const std::string& text, bool bold) {
  const QString shown = QString::fromStdString(text);
  auto* item = new QTableWidgetItem(shown);
  item->setToolTip(shown);
  if (bold) {
    QFont font = item->font();
    font.setWeight(QFont::Bold);
    item->setFont(font);
  }
  return item;
}

void fillRow(QTableWidget& table, int row, const FunctionRecord& record) {
  // The id is stored as a number so that the column sorts numerically.
  auto* idItem = new QTableWidgetItem;
  idItem->setData(Qt::DisplayRole, record.id);
  table.setItem(row, 0, idItem);
  const std::string* texts[] = {&record.group, &record.name, &record.params, &record.returns,
                                &record.desc};
  for (int column = 1; column < kColumns; ++column)
    table.setItem(row, column, textItem(*texts[column - 1], column == kNameColumn));
}

QTableWidget* buildTable(const std::vector<FunctionRecord>& records) {
  auto* table = new QTableWidget(static_cast<int>(records.size()), kColumns);
  table->setObjectName(QStringLiteral("functions"));
  table->setHorizontalHeaderLabels(
      {QStringLiteral("ID"), QStringLiteral("Group"), QStringLiteral("Function"),
       QStringLiteral("Parameters (a0-a15)"), QStringLiteral("Returns (r0-r15)"),
       QStringLiteral("What it does")});
  for (int row = 0; row < table->rowCount(); ++row)
    fillRow(*table, row, records[static_cast<std::size_t>(row)]);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setWordWrap(true);
  table->setAlternatingRowColors(true);
  QHeaderView* header = table->horizontalHeader();
  for (int column = 0; column < kColumns; ++column)
    header->setSectionResizeMode(column, column < kFirstStretchedColumn
                                             ? QHeaderView::ResizeToContents
                                             : QHeaderView::Stretch);
  // Filled first, sorted afterwards: sorting while rows are inserted would scatter them.
  table->setSortingEnabled(true);
  table->sortByColumn(0, Qt::AscendingOrder);
  QObject::connect(header, &QHeaderView::sectionResized, table,
                   [table] { table->resizeRowsToContents(); });
  return table;
}

}  // namespace

QWidget* buildFunctionsTab(const std::vector<FunctionRecord>& records) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 6, 0, 0);
  auto* search = new QLineEdit;
  search->setObjectName(QStringLiteral("search"));
  search->setPlaceholderText(QStringLiteral("Search (name, group, parameters, description)..."));
  search->setClearButtonEnabled(true);
  QTableWidget* table = buildTable(records);
  layout->addWidget(search);
  layout->addWidget(table);
  QObject::connect(search, &QLineEdit::textChanged, table,
                   [table](const QString& text) { filterFunctionRows(*table, text); });
  return page;
}

void filterFunctionRows(QTableWidget& table, const QString& text) {
  for (int row = 0; row < table.rowCount(); ++row) {
    bool show = text.isEmpty();
    for (int column = 1; column < table.columnCount() && !show; ++column) {
      const QTableWidgetItem* item = table.item(row, column);
      show = item && item->text().contains(text, Qt::CaseInsensitive);
    }
    table.setRowHidden(row, !show);
  }
}

}  // namespace tbp
