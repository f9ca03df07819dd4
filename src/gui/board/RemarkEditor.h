#pragma once
// The remark list editor: the user rewrites the list of predefined remarks as plain text, one
// remark per line. The list feeds the remark box of the Status page and the change page.

#include "gui/controls/BuiltWhenShown.h"
#include <QByteArray>
#include <QList>

class QPlainTextEdit;

namespace velmora {

class ChangeStatusPage;
class Core;
class PageHost;

class RemarkEditor : public BuiltWhenShown {
    Q_OBJECT
public:
    // Sorting leaves the change page's list holding the sorted lines, as if it had sorted them.
    RemarkEditor(Core& core, PageHost& host, ChangeStatusPage& changePage,
                 QWidget* parent = nullptr);

    // The remark list a text stands for: one remark per line; a line break at the very end
    // adds no empty remark, and an empty text is an empty list.
    static QList<QByteArray> linesOf(const QString& text);
    // Alphabetical, letter case ignored; equal lines keep their order.
    static QStringList sortedLines(QStringList lines);

    void open(); // open the editor ("Status List", ">>")
    // Leaving the text field: its lines become the remark list.
    void applyText();
    void onClearListClicked();
    void onDefaultListClicked();
    void onSortListClicked(); // Sort List
    void onCloseClicked();    // Close

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build() override;
    void fillField(const QList<QByteArray>& remarks);

    Core& core_;
    PageHost& host_;
    ChangeStatusPage& changePage_;
    QPlainTextEdit* remarkText_ = nullptr;
};

} // namespace velmora
