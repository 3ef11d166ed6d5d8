#include "StringGrid.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace zk {

StringGrid::StringGrid(int columns, QWidget *parent) : QTableWidget(1, columns, parent)
{
    for (int c = 0; c < columns; ++c) {
        setHorizontalHeaderItem(c, new QTableWidgetItem);
        m_alignments << (Qt::AlignLeft | Qt::AlignVCenter);
    }
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    fitRowsToFont();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    setWordWrap(false);
    selectGridRow(1);
}

// Rows are 16 px at the program's own font and grow with a larger one, so
// that no row cuts its text.
void StringGrid::fitRowsToFont()
{
    const int height = std::max(16, fontMetrics().height() + 4);
    verticalHeader()->setMinimumSectionSize(height);
    verticalHeader()->setDefaultSectionSize(height);
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, height);
}

void StringGrid::changeEvent(QEvent *event)
{
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitRowsToFont();
}

void StringGrid::setGridRowCount(int rows)
{
    setRowCount(std::max(rows, 2) - 1);
}

QString StringGrid::cell(int column, int row) const
{
    if (row == 0)
        return horizontalHeaderItem(column) ? horizontalHeaderItem(column)->text() : QString();
    const QTableWidgetItem *it = item(row - 1, column);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    if (row == 0) {
        horizontalHeaderItem(column)->setText(text);
        return;
    }
    QTableWidgetItem *it = item(row - 1, column);
    if (!it) {
        it = new QTableWidgetItem;
        it->setTextAlignment(m_alignments.value(column));
        setItem(row - 1, column, it);
    }
    it->setText(text);
}

int StringGrid::selectedGridRow() const
{
    const int r = currentRow();
    return r < 0 ? 1 : r + 1;
}

void StringGrid::selectGridRow(int row)
{
    if (row < 1 || row >= gridRowCount())
        return;
    setCurrentCell(row - 1, 0);
    selectRow(row - 1);
}

void StringGrid::setColumnAlignment(int column, Qt::Alignment alignment)
{
    m_alignments[column] = alignment;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem *it = item(r, column))
            it->setTextAlignment(alignment);
}

void StringGrid::setTitleAlignment(Qt::Alignment alignment)
{
    horizontalHeader()->setDefaultAlignment(alignment);
}

void StringGrid::keyPressEvent(QKeyEvent *event)
{
    event->ignore();
    emit keyDown(event);
    if (!event->isAccepted())
        QTableWidget::keyPressEvent(event);
}

} // namespace zk
