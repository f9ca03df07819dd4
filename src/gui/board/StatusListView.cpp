#include "gui/board/StatusListView.h"

#include "core/net/AnsiText.h"
#include "core/net/TimeStamp.h"

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QAccessible>
#include <QEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <mutex>

namespace velmora {

// Placeholder rows: the list only needs to know how many there are; what a row shows is read
// from the display order when it is painted, and what a screen reader says when it asks.
class StatusRows final : public QAbstractListModel {
public:
    explicit StatusRows(StatusListView& list) : QAbstractListModel(&list), list_(list) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        if (role == Qt::AccessibleTextRole) return list_.readAloud(index.row());
        // A row without a tooltip leaves the list's own hint to show.
        if (role == Qt::ToolTipRole) return list_.toolTipText(index.row());
        if (role == Qt::AccessibleDescriptionRole)
            return list_.originLines(index.row()).join(u'\n');
        return {};
    }
    void announceChanged(int first, int last) {
        Q_EMIT dataChanged(index(first), index(last), {Qt::AccessibleTextRole});
    }

    void setRows(int rows) {
        rows = std::max(rows, 0);
        if (rows > rows_) {
            beginInsertRows({}, rows_, rows - 1);
            rows_ = rows;
            endInsertRows();
        } else if (rows < rows_) {
            beginRemoveRows({}, rows, rows_ - 1);
            rows_ = rows;
            endRemoveRows();
        }
    }

private:
    StatusListView& list_;
    int rows_ = 0;
};

// Hands every row to drawRow and nothing else: selection and focus draw nothing, so
// a selected row looks like any other.
class StatusRowDelegate final : public QAbstractItemDelegate {
public:
    explicit StatusRowDelegate(StatusListView& list) : QAbstractItemDelegate(&list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        list_.drawRow(*painter, index.row(), option.rect);
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {list_.itemWidth(), list_.rowHeight()};
    }

private:
    StatusListView& list_;
};

namespace {

const char* const kHint = "Click on a name to send them a message or right click for a menu";

QFont listFont(int points) {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    return font;
}

// Bounds of `text` from `from` to `to` without the leading and trailing bytes up to 0x20.
void trim(const QByteArray& text, qsizetype& from, qsizetype& to) {
    while (from < to && static_cast<unsigned char>(text[from]) <= 0x20)
        ++from;
    while (to > from && static_cast<unsigned char>(text[to - 1]) <= 0x20)
        --to;
}

// The bytes from `from` to `to` as text, converted without copying the bytes first.
QString part(const QByteArray& text, qsizetype from, qsizetype to) {
    return fromAnsi(QByteArray::fromRawData(text.constData() + from, to - from));
}

// Where a roster entry ("address=name<sep>code status") keeps the name and the status text,
// both trimmed, and its colour code.
struct EntryParts {
    qsizetype nameFrom = 0, nameTo = 0, statusFrom = 0, statusTo = 0;
    StatusCode code = StatusCode::None;
};

EntryParts splitEntry(const QByteArray& entry) {
    EntryParts parts;
    const qsizetype eq = entry.indexOf('=');
    const qsizetype sep = entry.indexOf(kSep);
    if (eq >= 0 && (sep < 0 || eq < sep)) {
        parts.nameFrom = eq + 1;
        parts.nameTo = sep < 0 ? entry.size() : sep;
    }
    trim(entry, parts.nameFrom, parts.nameTo);
    parts.statusFrom = parts.statusTo = entry.size();
    if (sep >= 0) {
        if (sep + 1 < entry.size()) parts.code = fromWire(entry[sep + 1]);
        parts.statusFrom = std::min(sep + 2, entry.size());
        trim(entry, parts.statusFrom, parts.statusTo);
    }
    return parts;
}

} // namespace

StatusListView::StatusListView(Core& core, QWidget* parent)
    : QListView(parent), core_(core), rows_(new StatusRows(*this)),
      delegate_(new StatusRowDelegate(*this)), metrics_(listFont(8)),
      nameColumnWidth_(core.options().nameColumnWidth) {
    setObjectName(QStringLiteral("statusList"));
    setToolTip(QLatin1StringView(kHint));
    setFont(listFont(8));
    setModel(rows_);
    setItemDelegate(delegate_);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFlow(QListView::TopToBottom);
    setResizeMode(QListView::Adjust);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The blank below the last whole row looks like the blank below the last row.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    onRosterChanged();
    connect(&core_, &Core::rosterChanged, this, &StatusListView::onRosterChanged);
}

void StatusListView::applyFontSize(int points) {
    rowHeight_ = points == 12 ? 20 : points == 10 ? 18 : 16;
    setFont(listFont(points)); // the metrics follow through changeEvent
    showWholeRows();
    relayout();
}

int StatusListView::rowHeight() const {
    return rowHeight_;
}

void StatusListView::setColumns(int count) {
    columns_ = std::max(count, 0);
    const bool several = columns_ >= 2;
    setWrapping(several);
    setFlow(QListView::TopToBottom);
    // Several columns grow sideways when the rows do not fit; the bar shows up again only then.
    setHorizontalScrollBarPolicy(several ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    horizontalScrollBar()->hide();
    updateColumnWidth();
    relayout();
}

int StatusListView::columns() const {
    return columns_;
}

int StatusListView::nameColumnWidth() const {
    if (!namesMeasured_) measureNames();
    return nameColumnWidth_;
}

void StatusListView::setNameColumnWidth(int width) {
    nameColumnWidth_ = width;
    namesMeasured_ = true;
    viewport()->update();
}

int StatusListView::rowAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? index.row() : -1;
}

int StatusListView::rowCount() const {
    return rows_->rowCount();
}

void StatusListView::onRosterChanged() {
    Roster& roster = core_.roster();
    int rows;
    {
        std::lock_guard guard(roster.lock());
        rows = std::max(roster.listRows(), int(roster.displayOrder().size()));
    }
    rows_->setRows(rows);
    namesMeasured_ = false; // at the next paint, which is a whole one
    announceChangedRows();
    viewport()->update();
}

QByteArray StatusListView::entryAt(int row, int* position) const {
    Roster& roster = core_.roster();
    std::lock_guard guard(roster.lock());
    const QList<SortKey>& order = roster.displayOrder();
    if (row < 0 || row >= order.size() || row > roster.count() - 1) return {};
    const int p = order[row].position;
    if (p < 0 || p >= roster.count()) return {};
    if (position) *position = p;
    return roster.entries()[p];
}

QString StatusListView::spokenText(int row) const {
    const QByteArray entry = entryAt(row);
    const EntryParts parts = splitEntry(entry);
    QString text = part(entry, parts.nameFrom, parts.nameTo);
    if (parts.statusTo > parts.statusFrom)
        text += QStringLiteral(" \u2014 ") + part(entry, parts.statusFrom, parts.statusTo);
    return text;
}

QString StatusListView::toolTipText(int row) const {
    const QByteArray entry = entryAt(row);
    if (entry.isNull()) return {};
    // In the list's font. Texts from other copies are escaped, so that markup in them shows as
    // typed; blanks are kept, long lines wrap.
    const EntryParts parts = splitEntry(entry);
    QString tip = QStringLiteral("<div style=\"font-family:'%1'; font-size:%2pt; "
                                 "white-space:pre-wrap\"><p>")
                      .arg(font().family())
                      .arg(font().pointSize()) +
                  part(entry, parts.nameFrom, parts.nameTo).toHtmlEscaped();
    if (parts.statusTo > parts.statusFrom)
        tip +=
            QStringLiteral("<br>") + part(entry, parts.statusFrom, parts.statusTo).toHtmlEscaped();
    for (const QString& line : originLines(row))
        tip += QStringLiteral("<br>") + line.toHtmlEscaped();
    return tip + QStringLiteral("</p><p>") + QLatin1StringView(kHint) +
           QStringLiteral("</p></div>");
}

QStringList StatusListView::originLines(int row) const {
    int position = -1;
    const QByteArray entry = entryAt(row, &position);
    if (entry.isNull()) return {};
    Roster& roster = core_.roster();
    const Roster::Origin origin = roster.origin(position);
    const QDateTime now = core_.now();
    const QLocale& locale = core_.config().locale;
    // "<today>9:05 AM" today, "<otherDay>Tuesday" within the week before, else the date.
    const auto when = [&](const QDateTime& at, QLatin1StringView today,
                          QLatin1StringView otherDay) -> QString {
        const qint64 days = at.date().daysTo(now.date());
        if (days == 0)
            return today + fromAnsi(formatClockTime(at, locale, core_.options().use24HourClock));
        return otherDay + (days > 0 && days < 7 ? locale.dayName(at.date().dayOfWeek())
                                                : locale.toString(at.date(), QLocale::ShortFormat));
    };
    const QLatin1StringView heard("Last heard ");
    QStringList lines;
    if (origin.heard.isValid()) lines << when(origin.heard, heard, heard);
    if (origin.passedOn) lines << QStringLiteral("Passed on by other copies");
    if (const auto setter = core_.statusSetBy(Roster::split(entry).address)) {
        // The setter as this roster knows their address, else the address.
        QByteArray name;
        {
            std::lock_guard guard(roster.lock());
            const int at = roster.findAddress(setter->address);
            if (at >= 0) name = trimBlanks(Roster::split(roster.entries()[at]).name);
        }
        lines << QStringLiteral("Set by ") + fromAnsi(name.isEmpty() ? setter->address : name) +
                     when(setter->at, QLatin1StringView(" at "), QLatin1StringView(" on "));
    }
    return lines;
}

QString StatusListView::readAloud(int row) {
    if (!listenedTo_) {
        // From the first question on, changes are told against what the rows say now.
        listenedTo_ = true;
        spoken_.resize(std::size_t(std::max(rows_->rowCount(), 0)));
        for (std::size_t r = 0; r < spoken_.size(); ++r)
            spoken_[r] = spokenText(int(r));
    }
    QString text = spokenText(row);
    if (row >= 0) {
        if (spoken_.size() <= std::size_t(row)) spoken_.resize(row + 1);
        spoken_[row] = text;
    }
    return text;
}

void StatusListView::announceChangedRows() {
    // Only once a screen reader listens: comparing every row costs more than a paint.
    if (!listenedTo_ && !QAccessible::isActive()) return;
    const int rows = rows_->rowCount();
    std::vector<QString> now(std::size_t(std::max(rows, 0)));
    int first = -1, last = -1;
    for (int row = 0; row < rows; ++row) {
        now[row] = spokenText(row);
        if (std::size_t(row) < spoken_.size() && spoken_[row] == now[row]) continue;
        if (first < 0) first = row;
        last = row;
    }
    spoken_ = std::move(now);
    // The view hands the change on to the screen reader as a change of the table's data.
    if (first >= 0) rows_->announceChanged(first, last);
}

void StatusListView::prepare(ShownEntry& shown, const QByteArray& entry) const {
    const EntryParts parts = splitEntry(entry);
    shown.entry = entry;
    shown.code = parts.code;
    shown.name = part(entry, parts.nameFrom, parts.nameTo);
    shown.status = part(entry, parts.statusFrom, parts.statusTo);
    // Measured as the shown name (name + one blank) followed by two more blanks.
    shown.width = metrics_.horizontalAdvance(shown.name + QLatin1StringView("   "));
    shown.nameRoom = shown.statusRoom = -1;
}

void StatusListView::measureNames() const {
    Roster& roster = core_.roster();
    std::lock_guard guard(roster.lock());
    const QList<QByteArray>& entries = roster.entries();
    shown_.resize(std::size_t(entries.size()));
    int widest = 20;
    for (qsizetype p = 0; p < entries.size(); ++p) {
        ShownEntry& shown = shown_[std::size_t(p)];
        // Split and measured again only when the entry changed since it was last measured.
        if (!shown.entry.isSharedWith(entries[p])) {
            if (shown.entry.isNull() || shown.entry != entries[p])
                prepare(shown, entries[p]);
            else
                shown.entry = entries[p];
        }
        widest = std::max(widest, shown.width);
    }
    nameColumnWidth_ = widest;
    namesMeasured_ = true;
}

void StatusListView::fitText(QStaticText& shown, int& shownRoom, const QString& text,
                             int room) const {
    if (shownRoom == room) return;
    shownRoom = room;
    // Texts from other copies are never markup.
    shown.setTextFormat(Qt::PlainText);
    shown.setText(metrics_.elidedText(text, Qt::ElideRight, std::max(room, 0)));
    shown.prepare(QTransform(), font());
}

void StatusListView::drawRow(QPainter& painter, int row, const QRect& rect) {
    // Names are measured when the first row is painted after a change of the roster or the
    // font; both repaint the whole list, so every row is painted with the new column.
    if (!namesMeasured_) measureNames();
    Roster& roster = core_.roster();
    QByteArray entry; // shares the roster's bytes; nothing is copied
    int position;
    {
        std::lock_guard guard(roster.lock());
        if (row > 0 && row > roster.count() - 1) return;
        const QList<SortKey>& order = roster.displayOrder();
        if (row < 0 || row >= order.size()) return;
        position = order[row].position;
        if (position < 0 || position >= roster.count()) return;
        entry = roster.entries()[position];
        if (shown_.size() < std::size_t(roster.count())) shown_.resize(roster.count());
    }

    // An entry that changed without a roster change is shown as it is now; the name column
    // keeps its width until the next one.
    ShownEntry& shown = shown_[position];
    if (!shown.entry.isSharedWith(entry) && (shown.entry.isNull() || shown.entry != entry))
        prepare(shown, entry);
    const bool hasStatus = !shown.status.isEmpty();

    const ClassColours& colours = core_.options().colours;
    const QColor background =
        colourFromBgr(hasStatus ? colourForCode(shown.code, colours) : colours.idle);
    const int column = std::min(nameColumnWidth_, rect.width() / 2);
    const int left = rect.left();
    const int top = rect.top() - 1;
    const int statusLeft = left + column;
    // A name wider than the column is cut two blanks before the status; without a status
    // it has the whole row.
    const int nameRoom = !hasStatus ? rect.width() - 4
                         : shown.width <= column
                             ? QWIDGETSIZE_MAX
                             : column - 2 - metrics_.horizontalAdvance(QLatin1StringView("  "));
    fitText(shown.shownName, shown.nameRoom, shown.name, nameRoom);

    painter.fillRect(rect, background);
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setFont(font());
    painter.setPen(Qt::black);
    painter.drawStaticText(QPoint(left + 2, top), shown.shownName);
    if (hasStatus) {
        fitText(shown.shownStatus, shown.statusRoom, shown.status, rect.right() + 1 - statusLeft);
        painter.drawStaticText(QPoint(statusLeft, top), shown.shownStatus);
    }
    painter.restore();
}

void StatusListView::resizeEvent(QResizeEvent* event) {
    const int before = columnWidth_;
    updateColumnWidth();
    QListView::resizeEvent(event);
    showWholeRows();
    // The view itself lays out again only when the height changes, as rows flow downwards.
    if (columns_ >= 2 && columnWidth_ != before) relayout();
}

void StatusListView::showWholeRows() {
    // The rows end at the list's bottom edge: what would show of a row cut in half stays blank
    // below the list instead, so that the last row in view is always whole.
    const int height = viewport()->height() + viewportMargins().bottom();
    const int spare = height > rowHeight_ ? height % rowHeight_ : 0;
    if (spare != viewportMargins().bottom()) setViewportMargins(0, 0, 0, spare);
}

void StatusListView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        metrics_ = QFontMetrics(font());
        shown_.clear(); // measured and laid out in the old font
        namesMeasured_ = false;
    }
    QListView::changeEvent(event);
}

void StatusListView::updateColumnWidth() {
    // The width without scroll bars: in column mode the rows never need a vertical one.
    columnWidth_ = std::max(1, maximumViewportSize().width() / std::max(columns_, 1));
}

void StatusListView::relayout() {
    // A new layout also forgets the item size cached for uniform rows.
    doItemsLayout();
    viewport()->update();
}

} // namespace velmora
