#pragma once

#include <QTableWidget>

namespace zk {

// A grid of texts addressed as (column, row) whose row 0 is a fixed title
// row (shown as the column headers) and whose data rows are 1 to
// rowCount() - 1. It never has fewer than two rows. Whole rows are
// selected; cells are not edited in place.
class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit StringGrid(int columns, QWidget *parent = nullptr);

    int gridRowCount() const { return rowCount() + 1; }
    void setGridRowCount(int rows);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    // The selected data row (1 and up); 1 when nothing is selected.
    int selectedGridRow() const;
    void selectGridRow(int row);

    void setColumnAlignment(int column, Qt::Alignment alignment);
    void setTitleAlignment(Qt::Alignment alignment);

signals:
    // Every key pressed in the grid, before the grid itself handles it.
    void keyDown(QKeyEvent *event);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fitRowsToFont();

    QList<Qt::Alignment> m_alignments;
};

} // namespace zk
