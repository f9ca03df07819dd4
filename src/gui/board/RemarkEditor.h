#pragma once
// The remark list editor: the user rewrites the list of predefined remarks as plain text, one
// remark per line. The list feeds the remark box of the Status page and the change page.

#include <QByteArray>
#include <QList>
#include <QObject>

class QPlainTextEdit;

namespace velmora {

class TForm1;

class TRemarkEditor : public QObject {
    Q_OBJECT
public:
    // Finds the editor's controls in `form` by their names and connects them.
    explicit TRemarkEditor(TForm1& form);

    // The remark list a text stands for: one remark per line; a line break at the very end
    // adds no empty remark, and an empty text is an empty list.
    static QList<QByteArray> LinesOf(const QString& text);
    // Alphabetical, letter case ignored; equal lines keep their order.
    static QStringList SortedLines(QStringList lines);

    void XQAqua1Click(); // open the editor ("Status List", ">>")
    // Leaving the text field: its lines become the remark list.
    void ApplyText();
    void Clear8Click();
    void ToDeflt8Click();
    void Button8Click(); // Sort List
    void XQAqua3Click(); // Close

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FillField(const QList<QByteArray>& remarks);

    TForm1& form_;
    QPlainTextEdit* ChgRem1_;
};

} // namespace velmora
