#pragma once
// statusList, the status list: one row per person in the display order, painted in the colour
// of the person's colour code, name at the left and status text from the name column on.

#include "core/Core.h"
#include "gui/controls/BgrColour.h"

#include <QColor>
#include <QFontMetrics>
#include <QListView>
#include <QStaticText>
#include <QStringList>
#include <vector>

namespace velmora {

class StatusRows;
class StatusRowDelegate;

class StatusListView : public QListView {
    Q_OBJECT
public:
    // Follows the core's rosterChanged signal by itself.
    StatusListView(Core& core, QWidget* parent = nullptr);

    // 8, 10 or 12 points with rows of 16, 18 or 20 pixels.
    void applyFontSize(int points);
    int rowHeight() const;
    // 0 or 1: one column across the list; 2 or more: that many columns of equal width.
    void setColumns(int count);
    int columns() const;
    // Where status texts start, in pixels from a row's left edge: the widest name in the roster
    // with three blanks, at least 20, and never more than half a row (so that a status always
    // keeps room). The width given here holds until the names are measured again.
    int nameColumnWidth() const;
    void setNameColumnWidth(int width);
    // The list row under a point of the viewport, or -1.
    int rowAt(const QPoint& point) const;
    // The number of rows the list has (at least the roster's entries; one after a reset).
    int rowCount() const;

    // Paints row `row` into `rect` exactly as the status list shows it. Painting reads the
    // name column and never changes it, so a row painted alone looks as in a full repaint.
    void drawRow(QPainter& painter, int row, const QRect& rect);
    // What a screen reader says for row `row`: "name — status", the name alone without a
    // status, nothing for a row beyond the roster.
    QString spokenText(int row) const;
    // The row's name and status in full (a row may show them shortened), where the status came
    // from, then the list's hint; rich text that shows every character of the texts as it is.
    // Nothing beyond the roster.
    QString toolTipText(int row) const;
    // Where row `row`'s status came from, one plain line each: when the person's own copy was
    // last heard, whether other copies pass the status on, and who set it from another copy and
    // when. The row's accessible description.
    QStringList originLines(int row) const;

    // Repaints after a roster change, growing or cutting the rows as the roster did.
    void onRosterChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class StatusRowDelegate;
    friend class StatusRows;
    // The width the delegate asks for: a column's width in column mode, else nothing (a row
    // of the single column spans the viewport anyway).
    int itemWidth() const { return columns_ >= 2 ? columnWidth_ : 1; }
    // What painting an entry needs: its texts and the measured width of its name, which change
    // only with the entry or the font, and the texts as shown in the room they were cut for.
    struct ShownEntry {
        QByteArray entry;
        QString name;
        QString status;
        int width = 0;
        StatusCode code = StatusCode::None;
        int nameRoom = -1, statusRoom = -1;
        QStaticText shownName, shownStatus;
    };
    // The roster entry row `row` shows, or a null array for a row beyond the roster; its
    // position into `position` when asked.
    QByteArray entryAt(int row, int* position = nullptr) const;
    void prepare(ShownEntry& shown, const QByteArray& entry) const;
    // Brings every entry's measurement up to date and sets the name column from them.
    void measureNames() const;
    // `text` laid out to fit `room` pixels, with "…" where it does not.
    void fitText(QStaticText& shown, int& shownRoom, const QString& text, int room) const;
    void updateColumnWidth();
    void showWholeRows();
    void relayout();
    // Row `row`'s spoken text as a screen reader asks for it; remembered, so that a change of
    // the row is announced from then on.
    QString readAloud(int row);
    // Tells a listening screen reader which rows now say something else than it last heard.
    void announceChangedRows();

    Core& core_;
    StatusRows* rows_;
    StatusRowDelegate* delegate_;
    QFontMetrics metrics_;
    int rowHeight_ = 16;
    int columns_ = 0;
    int columnWidth_ = 1;
    // Measured when first needed after a change of the roster or the font.
    mutable int nameColumnWidth_; // uncapped: the widest name
    mutable bool namesMeasured_ = false;
    mutable std::vector<ShownEntry> shown_; // by roster position
    std::vector<QString> spoken_;           // by row, as last read or announced
    bool listenedTo_ = false;               // a screen reader has read a row
};

} // namespace velmora
