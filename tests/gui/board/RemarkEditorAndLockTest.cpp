// The discussion board, the remark list editor and the options lock.

#include "gui/board/RemarkEditor.h"
#include "gui/controls/AquaButton.h"
#include "support/WindowHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::InputDialogAnswer;
using velmora::test::WindowHarness;

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

QStringList linesOf(const QPlainTextEdit* box) {
    QStringList lines;
    for (QTextBlock b = box->document()->firstBlock(); b.isValid(); b = b.next())
        lines.append(b.text());
    return lines;
}

QList<QByteArray> comboItems(const QComboBox* box) {
    QList<QByteArray> items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i).toLatin1());
    return items;
}

} // namespace

TEST(Discuss, BoardKeepsTheLast99LinesAndNothingWhileHidden) {
    WindowHarness h;
    auto* blog = h.find<QPlainTextEdit>("discussionBoard");
    for (int i = 1; i <= 100; ++i)
        h.window->core().dispatchDatagram("dAnn > line " + QByteArray::number(i), "10.0.0.7");
    QStringList lines = linesOf(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 2"));
    EXPECT_EQ(lines.last(), Q("Ann > line 100"));

    h.find<QCheckBox>("hideDiscussBox")->click();
    h.window->core().dispatchDatagram("dAnn > unseen", "10.0.0.7");
    h.find<QCheckBox>("hideDiscussBox")->click();
    // Another copy's line breaks do not make one arrival several lines.
    h.window->core().dispatchDatagram("dBob > two\r\nlines", "10.0.0.8");
    lines = linesOf(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 3"));
    EXPECT_EQ(lines.last(), Q("Bob > two  lines"));
    EXPECT_FALSE(lines.contains(Q("Ann > unseen")));
}

TEST(Discuss, SubmitSendsTheBoxAsItStandsAndShowsNothingUntilItComesBack) {
    WindowHarness h;
    h.sent.clear();
    auto* entry = h.find<QLineEdit>("discussionEntry");
    auto* submit = h.find<QPushButton>("submitButton");
    submit->click(); // the hint text, unedited
    h.find<QLineEdit>("nameBox")->setText(Q("Op & Co"));
    h.find<QCheckBox>("stampChangesBox")->setChecked(false);
    entry->setText(Q("   "));
    submit->click();
    submit->click(); // empty now: nothing
    EXPECT_EQ(h.sent,
              (QList<QByteArray>{
                  "dOPERATOR > Enter your text here and click on the submit button. ( 9:05 AM)",
                  "dOp & Co >    "}));
    EXPECT_TRUE(entry->text().isEmpty());
    EXPECT_TRUE(h.find<QPlainTextEdit>("discussionBoard")->document()->isEmpty());
}

TEST(RemarkEditor, ListButtonsAndTheFieldRewriteTheSharedList) {
    WindowHarness h;
    MainWindow& window = *h.window;
    auto* field = h.find<QPlainTextEdit>("remarkText");
    auto* remarkBox = h.find<QComboBox>("remarkBox");
    auto* entry = h.find<AquaButton>("remarkEditorButton");
    entry->onclick(entry);
    EXPECT_EQ(window.pages().currentPage(), window.page("remarkEditorPage"));
    EXPECT_EQ(RemarkEditor::linesOf(field->toPlainText()), Core::defaultRemarks());

    h.find<QPushButton>("clearListButton")->click();
    EXPECT_TRUE(field->toPlainText().isEmpty());
    EXPECT_EQ(remarkBox->count(), 0);

    // What is typed counts once ">>" is clicked, also when the field never lost the focus.
    field->setPlainText(Q("In a meeting\n\nat lunch\nBack shortly\n"));
    auto* again = h.find<AquaButton>("remarkEditorArrow");
    again->onclick(again);
    EXPECT_EQ(comboItems(remarkBox),
              (QList<QByteArray>{"In a meeting", "", "at lunch", "Back shortly"}));
    h.find<QPushButton>("sortListButton")->click();
    const QList<QByteArray> sorted{"", "at lunch", "Back shortly", "In a meeting"};
    EXPECT_EQ(window.core().remarks(), sorted);
    EXPECT_EQ(RemarkEditor::linesOf(field->toPlainText()), sorted);
    EXPECT_EQ(h.find<QListWidget>("remarkList")->item(1)->text(), Q("at lunch"));

    auto* close = h.find<AquaButton>("closeEditorButton");
    close->onclick(close);
    EXPECT_EQ(window.pages().currentPage(), window.page("optionsPage"));
    h.find<QPushButton>("defaultListButton")->click();
    EXPECT_EQ(comboItems(remarkBox), Core::defaultRemarks());
}

TEST(OptionsLock, OnlyTheAccessCodeTurnsItAndTheLockSurvivesARestart) {
    QByteArray saved;
    {
        WindowHarness h;
        auto* lock = h.find<QPushButton>("lockButton");
        auto* hideMessages = h.find<QCheckBox>("hideMessagingBox");
        const bool ticked = hideMessages->isChecked();
        for (const char* wrong : {"DZV7LK", ""}) {
            InputDialogAnswer answer(true, Q(wrong));
            lock->click();
            EXPECT_EQ(answer.caption.size(), 26);
            EXPECT_EQ(answer.prompt.size(), 9);
        }
        InputDialogAnswer cancelled(false, Q("dzv7Lk"));
        lock->click();
        EXPECT_EQ(lock->text(), Q("Lock *"));
        EXPECT_TRUE(hideMessages->isEnabled());

        InputDialogAnswer right(true, Q("dzv7Lk"));
        lock->click();
        EXPECT_EQ(lock->text(), Q("Unlock * "));
        EXPECT_FALSE(hideMessages->isEnabled());
        EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
        EXPECT_EQ(hideMessages->isChecked(), ticked);
        EXPECT_TRUE(h.find<QCheckBox>("stampChangesBox")->isEnabled());
        h.window.reset(); // the end of the program saves
        QFile file(h.config.settingsPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        saved = file.readAll();
    }
    WindowHarness h(saved);
    auto* lock = h.find<QPushButton>("lockButton");
    EXPECT_EQ(lock->text(), Q("Unlock * "));
    EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
    InputDialogAnswer right(true, Q("dzv7Lk"));
    lock->click();
    EXPECT_EQ(lock->text(), Q("Lock * "));
    EXPECT_TRUE(h.find<QCheckBox>("hideMessagingBox")->isEnabled());
    EXPECT_TRUE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
}
