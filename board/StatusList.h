#pragma once
// ListBox1, the status list: one row per person in the display order, painted in the colour
// of the person's colour code, name at the left and status text from the name column on.

#include "shell/VelmoraCore.h"

#include <QListView>

namespace velmora {

class TStatusList : public QListView {
    Q_OBJECT
public:
    TStatusList(TVelmoraCore& core, QWidget* parent = nullptr);

    // "8", "10" or "12" points with rows of 16, 18 or 20 pixels; any other text is 8 points.
    void ApplyFontSize(const QByteArray& sizeText);
    int RowHeight() const;
    // 0 or 1: one column across the list; 2 or more: that many columns of equal width.
    void SetColumns(int count);
    int Columns() const;
    // Where status texts start, in pixels from a row's left edge.
    int NameColumnWidth() const;
    void SetNameColumnWidth(int width);
    // The list row under a point of the viewport, or -1.
    int RowAt(const QPoint& point) const;
    // The number of rows the list has (at least the roster's entries; one after a reset).
    int RowCount() const;

    // Paints row `row` into `rect` exactly as the status list shows it.
    void ListBox1DrawItem(QPainter& painter, int row, const QRect& rect);

    // Repaints after a roster change, growing or cutting the rows as the roster did.
    void RosterChanged();
};

} // namespace velmora
