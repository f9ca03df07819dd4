#pragma once
// ListBox1, the status list: one row per person in the display order, painted in the colour
// of the person's colour code, name at the left and status text from the name column on.

#include "gui/controls/BgrColour.h"
#include "core/Core.h"

#include <QColor>
#include <QFontMetrics>
#include <QListView>
#include <QStaticText>
#include <vector>

namespace velmora {

class TStatusRows;
class TStatusRowDelegate;

class TStatusList : public QListView {
    Q_OBJECT
public:
    // Follows the core's rosterChanged signal by itself.
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

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class TStatusRowDelegate;
    // The width the delegate asks for: a column's width in column mode, else nothing (a row
    // of the single column spans the viewport anyway).
    int ItemWidth() const { return columns_ >= 2 ? columnWidth_ : 1; }
    // What painting an entry needs that changes only with the entry or the font: the texts
    // laid out once and the measured width of the name.
    struct TShownEntry {
        QByteArray entry;
        QStaticText name;
        QStaticText status;
        int width = 0;
        char code = 0;
    };
    void Prepare(TShownEntry& shown, const QByteArray& entry) const;
    void UpdateColumnWidth();
    void Relayout();

    TVelmoraCore& core_;
    TStatusRows* rows_;
    TStatusRowDelegate* delegate_;
    QFontMetrics metrics_;
    int rowHeight_ = 16;
    int columns_ = 0;
    int columnWidth_ = 1;
    int nameColumnWidth_;
    int runningMax_;                 // the widest name of the pass being painted
    std::vector<TShownEntry> shown_; // by roster position
};

} // namespace velmora
