#include "gui/board/RemarkEditor.h"

#include "core/net/AnsiText.h"
#include "gui/controls/AquaButton.h"
#include "gui/controls/BgrColour.h"
#include "gui/window/MainWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace velmora {

RemarkEditor::RemarkEditor(MainWindow& form)
    : QObject(&form), form_(form), remarkText_(form.control<QPlainTextEdit>("remarkText")) {
    for (const char* entry : {"remarkEditorButton", "remarkEditorArrow"})
        form.control<AquaButton>(entry)->onclick = [this](AquaButton*) { open(); };
    form.control<AquaButton>("closeEditorButton")->onclick = [this](AquaButton*) {
        onCloseClicked();
    };
    connect(form.control<QPushButton>("clearListButton"), &QPushButton::clicked, this,
            &RemarkEditor::onClearListClicked);
    connect(form.control<QPushButton>("defaultListButton"), &QPushButton::clicked, this,
            &RemarkEditor::onDefaultListClicked);
    connect(form.control<QPushButton>("sortListButton"), &QPushButton::clicked, this,
            &RemarkEditor::onSortListClicked);
    remarkText_->installEventFilter(this);
}

QList<QByteArray> RemarkEditor::linesOf(const QString& text) {
    QList<QByteArray> lines;
    if (text.isEmpty()) return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (parts.last().isEmpty()) parts.removeLast();
    for (const QString& part : parts)
        lines.append(toAnsi(part));
    return lines;
}

QStringList RemarkEditor::sortedLines(QStringList lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return lines;
}

void RemarkEditor::open() {
    // ">>" sits on the editor itself: what was typed there counts before the field refills.
    if (form_.pages().currentPage() == form_.page("remarkEditorPage")) applyText();
    form_.showPage(form_.page("remarkEditorPage"));
    fillField(form_.core().remarks());
    MainWindow::setBackground(remarkText_, colourFromBgr(form_.core().options().colours.others));
    remarkText_->setFocus();
}

void RemarkEditor::applyText() {
    form_.setRemarkList(linesOf(remarkText_->toPlainText()));
}

void RemarkEditor::onClearListClicked() {
    remarkText_->clear();
    remarkText_->setFocus();
    form_.setRemarkList({});
}

void RemarkEditor::onDefaultListClicked() {
    fillField(Core::defaultRemarks());
    remarkText_->setFocus();
    form_.setRemarkList(Core::defaultRemarks());
}

void RemarkEditor::onSortListClicked() {
    QStringList lines;
    for (const QByteArray& line : linesOf(remarkText_->toPlainText()))
        lines.append(fromAnsi(line));
    lines = sortedLines(lines);
    // The change page's list is left holding the sorted lines, as if it had sorted them.
    auto* listBox2 = form_.control<QListWidget>("remarkList");
    listBox2->clear();
    listBox2->addItems(lines);
    QList<QByteArray> sorted;
    for (const QString& line : lines)
        sorted.append(toAnsi(line));
    fillField(sorted);
    form_.setRemarkList(sorted);
    QCoreApplication::processEvents();
    remarkText_->setFocus();
}

void RemarkEditor::onCloseClicked() {
    applyText();
    form_.showPage(form_.page("optionsPage"));
}

void RemarkEditor::fillField(const QList<QByteArray>& remarks) {
    // Every remark ends with a line break, so that an empty last remark survives the way
    // back through linesOf().
    QString text;
    for (const QByteArray& remark : remarks)
        text += fromAnsi(remark) + QLatin1Char('\n');
    remarkText_->setPlainText(text);
}

bool RemarkEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == remarkText_ && event->type() == QEvent::FocusOut) applyText();
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
