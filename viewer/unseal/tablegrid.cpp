#include "tablegrid.h"

#include <QFont>
#include <QTableWidget>

namespace unseal {

namespace {

constexpr int kTwipsPerPixel = 15;

}  // namespace

TableGrid::TableGrid(QTableWidget& table) : table_(table) {
    table_.setColumnCount(2);
    if (table_.rowCount() < 2) {
        table_.setRowCount(2);
    }
}

QTableWidgetItem& TableGrid::item(int row, int column) {
    QTableWidgetItem* cell = table_.item(row, column);
    if (cell == nullptr) {
        cell = new QTableWidgetItem;  // owned by the table
        if (row == 0) {
            // The header row: shown, never current or selected.
            cell->setFlags(Qt::NoItemFlags);
            QFont bold = cell->font();
            bold.setBold(true);
            cell->setFont(bold);
            cell->setForeground(table_.palette().brush(QPalette::Active, QPalette::ButtonText));
            cell->setBackground(table_.palette().brush(QPalette::Active, QPalette::Button));
            cell->setTextAlignment(Qt::AlignCenter);
        } else {
            cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        table_.setItem(row, column, cell);
    }
    return *cell;
}

int TableGrid::width() const { return table_.width() * kTwipsPerPixel; }

void TableGrid::setColumnWidth(int column, int width) {
    table_.setColumnWidth(column, width / kTwipsPerPixel);
}

void TableGrid::setCurrentCell(int row, int column) {
    if (row < 0 || row >= rowCount() || column < 0 || column > 1) {
        return;
    }
    row_ = row;
    column_ = column;
    if (row > 0) {
        table_.setCurrentCell(row, column);
    }
}

void TableGrid::setCurrentText(const QString& text) { item(row_, column_).setText(text); }

int TableGrid::rowCount() const { return table_.rowCount(); }

void TableGrid::removeRow(int row) { table_.removeRow(row); }

void TableGrid::addRow(const QString& cells) {
    const QStringList parts = cells.split(u'\t');
    const int row = table_.rowCount();
    table_.insertRow(row);
    item(row, 0).setText(parts.value(0));
    item(row, 1).setText(parts.value(1));
}

void TableGrid::selectBlock(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    table_.clearSelection();
    table_.setRangeSelected(QTableWidgetSelectionRange(firstRow, firstColumn, lastRow, lastColumn),
                            true);
}

void TableGrid::setSelectionText(const QString& cells) {
    const QList<QTableWidgetSelectionRange> ranges = table_.selectedRanges();
    if (ranges.isEmpty()) {
        return;
    }
    const QTableWidgetSelectionRange& range = ranges.first();
    const QStringList lines = cells.split(u'\r');
    for (int r = range.topRow(); r <= range.bottomRow(); ++r) {
        const QStringList parts = lines.value(r - range.topRow()).split(u'\t');
        for (int c = range.leftColumn(); c <= range.rightColumn(); ++c) {
            item(r, c).setText(parts.value(c - range.leftColumn()));
        }
    }
}

int TableGrid::currentRow() const {
    const int row = table_.currentRow();
    return row >= 0 ? row : row_;
}

QString TableGrid::text(int row, int column) const {
    const QTableWidgetItem* cell = table_.item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

}  // namespace unseal
