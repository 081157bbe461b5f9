// The certificate grid as the certificate list drives it: the operations of
// a two-column grid control. The dialog shows it in a table widget; tests
// and paperlens-cli keep it in memory.
#pragma once

#include <QString>
#include <QVector>

#include <array>

namespace certificates {

class CertGrid {
public:
    virtual ~CertGrid() = default;
    virtual int width() const = 0;
    virtual void setColumnWidth(int column, int width) = 0;
    virtual void setCurrentCell(int row, int column) = 0;
    virtual void setCurrentText(const QString& text) = 0;
    virtual int rowCount() const = 0;
    virtual void removeRow(int row) = 0;
    // A new last row from one text in which TAB separates the cells.
    virtual void addRow(const QString& cells) = 0;
    // Selects rows firstRow..lastRow, columns firstColumn..lastColumn.
    virtual void selectBlock(int firstRow, int lastRow, int firstColumn, int lastColumn) = 0;
    // Spreads one TAB-separated text over the selection, row by row.
    virtual void setSelectionText(const QString& cells) = 0;
    virtual int currentRow() const = 0;
    virtual QString text(int row, int column) const = 0;
};

// A grid in memory: two columns, starting with the header row and row 1.
class MemoryGrid : public CertGrid {
public:
    explicit MemoryGrid(int width = 4695, int rows = 2);

    int width() const override { return width_; }
    void setColumnWidth(int column, int width) override;
    void setCurrentCell(int row, int column) override;
    void setCurrentText(const QString& text) override;
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    void removeRow(int row) override;
    void addRow(const QString& cells) override;
    void selectBlock(int firstRow, int lastRow, int firstColumn, int lastColumn) override;
    void setSelectionText(const QString& cells) override;
    int currentRow() const override { return row_; }
    QString text(int row, int column) const override;

    int columnWidth(int column) const { return widths_[column]; }
    int currentColumn() const { return column_; }
    bool selected(int row, int column) const;

private:
    int width_;
    std::array<int, 2> widths_{};
    QVector<std::array<QString, 2>> rows_;
    int row_ = 0;
    int column_ = 0;
    std::array<int, 4> selection_{0, 0, 0, 0};
};

}  // namespace certificates
