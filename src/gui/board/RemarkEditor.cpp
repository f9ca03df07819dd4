#include "gui/board/RemarkEditor.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "gui/board/ChangeStatusPage.h"
#include "gui/controls/AquaButton.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace velmora {

RemarkEditor::RemarkEditor(Core& core, PageHost& host, ChangeStatusPage& changePage,
                           QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host), changePage_(changePage) {
    setObjectName(latin1("remarkEditorPage"));
}

void RemarkEditor::build() {
    auto* outer = columnLayout(this);
    auto* group = named(new QGroupBox(latin1(" Status List  - Edit the List to Suit Your Needs ")),
                        "remarkEditorGroup");
    outer->addWidget(group);
    auto* l = new QHBoxLayout(group);
    remarkText_ = named(new QPlainTextEdit, "remarkText");
    l->addWidget(remarkText_, 1);
    auto* right = columnLayout(nullptr, 0, 3);
    AquaButton* arrow = aquaButton("remarkEditorArrow", ">>", QSize(62, 20), font());
    right->addWidget(arrow, 0, Qt::AlignHCenter);
    QPushButton* sort = pushButton("sortListButton", "Sort List");
    QPushButton* defaults = pushButton("defaultListButton", "Default List");
    QPushButton* clear = pushButton("clearListButton", "Clear List");
    right->addWidget(sort);
    right->addWidget(defaults);
    right->addWidget(clear);
    right->addStretch(1);
    QFont bold = font();
    bold.setBold(true);
    AquaButton* close = aquaButton("closeEditorButton", "Close", QSize(79, 21), bold);
    right->addWidget(close, 0, Qt::AlignHCenter);
    l->addLayout(right);

    connect(arrow, &AquaButton::clicked, this, &RemarkEditor::open);
    connect(close, &AquaButton::clicked, this, &RemarkEditor::onCloseClicked);
    connect(clear, &QPushButton::clicked, this, &RemarkEditor::onClearListClicked);
    connect(defaults, &QPushButton::clicked, this, &RemarkEditor::onDefaultListClicked);
    connect(sort, &QPushButton::clicked, this, &RemarkEditor::onSortListClicked);
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
    if (host_.isCurrentPage(PageId::RemarkEditor)) applyText();
    host_.showPage(PageId::RemarkEditor);
    buildNow();
    fillField(core_.remarks());
    setBackground(remarkText_, colourFromBgr(core_.options().colours.others));
    remarkText_->setFocus();
}

void RemarkEditor::applyText() {
    if (!remarkText_) return; // never shown, nothing typed
    host_.setRemarkList(linesOf(remarkText_->toPlainText()));
}

void RemarkEditor::onClearListClicked() {
    remarkText_->clear();
    remarkText_->setFocus();
    host_.setRemarkList({});
}

void RemarkEditor::onDefaultListClicked() {
    fillField(Core::defaultRemarks());
    remarkText_->setFocus();
    host_.setRemarkList(Core::defaultRemarks());
}

void RemarkEditor::onSortListClicked() {
    QStringList lines;
    for (const QByteArray& line : linesOf(remarkText_->toPlainText()))
        lines.append(fromAnsi(line));
    lines = sortedLines(lines);
    // The change page's list is left holding the sorted lines, as if it had sorted them.
    changePage_.setRemarkItems(lines);
    QList<QByteArray> sorted;
    for (const QString& line : lines)
        sorted.append(toAnsi(line));
    fillField(sorted);
    host_.setRemarkList(sorted);
    QCoreApplication::processEvents();
    remarkText_->setFocus();
}

void RemarkEditor::onCloseClicked() {
    applyText();
    host_.showPage(PageId::Options);
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
