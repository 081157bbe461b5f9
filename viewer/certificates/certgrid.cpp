#include "certgrid.h"

namespace certificates {

MemoryGrid::MemoryGrid(int width, int rows) : width_(width), rows_(rows) {}

void MemoryGrid::setColumnWidth(int column, int width) {
    if (column >= 0 && column < 2) {
        widths_[column] = width;
    }
}

void MemoryGrid::setCurrentCell(int row, int column) {
    if (row >= 0 && row < rowCount() && column >= 0 && column < 2) {
        row_ = row;
        column_ = column;
        selection_ = {row, row, column, column};
    }
}

void MemoryGrid::setCurrentText(const QString& text) {
    if (row_ < rowCount()) {
        rows_[row_][column_] = text;
    }
}

void MemoryGrid::removeRow(int row) {
    if (row >= 0 && row < rowCount()) {
        rows_.remove(row);
        row_ = qMin(row_, rowCount() - 1);
    }
}

void MemoryGrid::addRow(const QString& cells) {
    const QStringList parts = cells.split(u'\t');
    rows_.append({parts.value(0), parts.value(1)});
}

void MemoryGrid::selectBlock(int firstRow, int lastRow, int firstColumn, int lastColumn) {
    selection_ = {firstRow, lastRow, firstColumn, lastColumn};
}

void MemoryGrid::setSelectionText(const QString& cells) {
    const QStringList lines = cells.split(u'\r');
    for (int r = selection_[0]; r <= selection_[1] && r < rowCount(); ++r) {
        const QStringList parts = lines.value(r - selection_[0]).split(u'\t');
        for (int c = selection_[2]; c <= selection_[3] && c < 2; ++c) {
            rows_[r][c] = parts.value(c - selection_[2]);
        }
    }
}

QString MemoryGrid::text(int row, int column) const {
    return row >= 0 && row < rowCount() && column >= 0 && column < 2 ? rows_[row][column]
                                                                     : QString();
}

bool MemoryGrid::selected(int row, int column) const {
    return row >= selection_[0] && row <= selection_[1] && column >= selection_[2] &&
           column <= selection_[3];
}

}  // namespace certificates
