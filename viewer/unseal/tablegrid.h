// The certificate grid on a table widget. Row 0 is the header row: it
// cannot be clicked into, so the current row is always a data row once the
// user has picked one. Widths are in twips, as the dialog lays out.
#pragma once

#include "certgrid.h"

class QTableWidget;
class QTableWidgetItem;

namespace unseal {

class TableGrid : public certificates::CertGrid {
public:
    explicit TableGrid(QTableWidget& table);

    int width() const override;
    void setColumnWidth(int column, int width) override;
    void setCurrentCell(int row, int column) override;
    void setCurrentText(const QString& text) override;
    int rowCount() const override;
    void removeRow(int row) override;
    void addRow(const QString& cells) override;
    void selectBlock(int firstRow, int lastRow, int firstColumn, int lastColumn) override;
    void setSelectionText(const QString& cells) override;
    int currentRow() const override;
    QString text(int row, int column) const override;

private:
    QTableWidgetItem& item(int row, int column);

    QTableWidget& table_;
    int row_ = 1;
    int column_ = 0;
};

}  // namespace unseal
