#include "gui/board/RemarkEditor.h"

#include "gui/controls/BgrColour.h"
#include "gui/controls/AquaButton.h"
#include "core/net/AnsiText.h"
#include "gui/window/MainWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace velmora {

TRemarkEditor::TRemarkEditor(TForm1& form)
    : QObject(&form), form_(form), ChgRem1_(form.Control<QPlainTextEdit>("ChgRem1")) {
    for (const char* entry : {"XQAqua4", "XQAqua2"})
        form.Control<TXQAqua>(entry)->onclick = [this](TXQAqua*) { XQAqua1Click(); };
    form.Control<TXQAqua>("XQAqua3")->onclick = [this](TXQAqua*) { XQAqua3Click(); };
    connect(form.Control<QPushButton>("Clear8"), &QPushButton::clicked, this,
            &TRemarkEditor::Clear8Click);
    connect(form.Control<QPushButton>("ToDeflt8"), &QPushButton::clicked, this,
            &TRemarkEditor::ToDeflt8Click);
    connect(form.Control<QPushButton>("Button8"), &QPushButton::clicked, this,
            &TRemarkEditor::Button8Click);
    ChgRem1_->installEventFilter(this);
}

QList<QByteArray> TRemarkEditor::LinesOf(const QString& text) {
    QList<QByteArray> lines;
    if (text.isEmpty()) return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.last().isEmpty()) parts.removeLast();
    for (const QString& part : parts)
        lines.append(ToAnsi(part));
    return lines;
}

QStringList TRemarkEditor::SortedLines(QStringList lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return lines;
}

void TRemarkEditor::XQAqua1Click() {
    // ">>" sits on the editor itself: what was typed there counts before the field refills.
    if (form_.PageControl1().CurrentPage() == form_.Page("infoTab")) ApplyText();
    form_.SelectTab(form_.Page("infoTab"));
    FillField(form_.Core().Remarks());
    TForm1::SetBackground(ChgRem1_, ColourFromBgr(form_.Core().Options().colours.Rest));
    ChgRem1_->setFocus();
}

void TRemarkEditor::ApplyText() {
    form_.SetRemarkList(LinesOf(ChgRem1_->toPlainText()));
}

void TRemarkEditor::Clear8Click() {
    ChgRem1_->clear();
    ChgRem1_->setFocus();
    form_.SetRemarkList({});
}

void TRemarkEditor::ToDeflt8Click() {
    FillField(TVelmoraCore::DefaultRemarks());
    ChgRem1_->setFocus();
    form_.SetRemarkList(TVelmoraCore::DefaultRemarks());
}

void TRemarkEditor::Button8Click() {
    QStringList lines;
    for (const QByteArray& line : LinesOf(ChgRem1_->toPlainText()))
        lines.append(FromAnsi(line));
    lines = SortedLines(lines);
    // The change page's list is left holding the sorted lines, as if it had sorted them.
    auto* ListBox2 = form_.Control<QListWidget>("ListBox2");
    ListBox2->clear();
    ListBox2->addItems(lines);
    QList<QByteArray> sorted;
    for (const QString& line : lines)
        sorted.append(ToAnsi(line));
    FillField(sorted);
    form_.SetRemarkList(sorted);
    QCoreApplication::processEvents();
    ChgRem1_->setFocus();
}

void TRemarkEditor::XQAqua3Click() {
    ApplyText();
    form_.SelectTab(form_.Page("Options"));
}

void TRemarkEditor::FillField(const QList<QByteArray>& remarks) {
    // Every remark ends with a line break, so that an empty last remark survives the way
    // back through LinesOf().
    QString text;
    for (const QByteArray& remark : remarks)
        text += FromAnsi(remark) + QLatin1Char('\n');
    ChgRem1_->setPlainText(text);
}

bool TRemarkEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ChgRem1_ && event->type() == QEvent::FocusOut) ApplyText();
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
