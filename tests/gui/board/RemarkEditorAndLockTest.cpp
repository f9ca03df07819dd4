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
using velmora::test::FormHarness;
using velmora::test::InputDialogAnswer;

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

QStringList Lines(const QPlainTextEdit* box) {
    QStringList lines;
    for (QTextBlock b = box->document()->firstBlock(); b.isValid(); b = b.next())
        lines.append(b.text());
    return lines;
}

QList<QByteArray> ComboItems(const QComboBox* box) {
    QList<QByteArray> items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i).toLatin1());
    return items;
}

} // namespace

TEST(Discuss, BoardKeepsTheLast99LinesAndNothingWhileHidden) {
    FormHarness h;
    auto* blog = h.Find<QPlainTextEdit>("blog");
    for (int i = 1; i <= 100; ++i)
        h.form->Core().DispatchDatagram("dAnn > line " + QByteArray::number(i), "10.0.0.7");
    QStringList lines = Lines(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 2"));
    EXPECT_EQ(lines.last(), Q("Ann > line 100"));

    h.Find<QCheckBox>("HideDiscuss")->click();
    h.form->Core().DispatchDatagram("dAnn > unseen", "10.0.0.7");
    h.Find<QCheckBox>("HideDiscuss")->click();
    // Another copy's line breaks do not make one arrival several lines.
    h.form->Core().DispatchDatagram("dBob > two\r\nlines", "10.0.0.8");
    lines = Lines(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 3"));
    EXPECT_EQ(lines.last(), Q("Bob > two  lines"));
    EXPECT_FALSE(lines.contains(Q("Ann > unseen")));
}

TEST(Discuss, SubmitSendsTheBoxAsItStandsAndShowsNothingUntilItComesBack) {
    FormHarness h;
    h.sent.clear();
    auto* entry = h.Find<QLineEdit>("discussOut");
    auto* submit = h.Find<QPushButton>("BitBtn4");
    submit->click(); // the hint text, unedited
    h.Find<QLineEdit>("realName1")->setText(Q("Op & Co"));
    h.Find<QCheckBox>("TimeAll")->setChecked(false);
    entry->setText(Q("   "));
    submit->click();
    submit->click(); // empty now: nothing
    EXPECT_EQ(h.sent,
              (QList<QByteArray>{
                  "dOPERATOR > Enter your text here and click on the submit button. ( 9:05 AM)",
                  "dOp & Co >    "}));
    EXPECT_TRUE(entry->text().isEmpty());
    EXPECT_TRUE(h.Find<QPlainTextEdit>("blog")->document()->isEmpty());
}

TEST(RemarkEditor, ListButtonsAndTheFieldRewriteTheSharedList) {
    FormHarness h;
    TForm1& form = *h.form;
    auto* field = h.Find<QPlainTextEdit>("ChgRem1");
    auto* remarkBox = h.Find<QComboBox>("ComboBox1");
    auto* entry = h.Find<TXQAqua>("XQAqua4");
    entry->onclick(entry);
    EXPECT_EQ(form.PageControl1().CurrentPage(), form.Page("infoTab"));
    EXPECT_EQ(TRemarkEditor::LinesOf(field->toPlainText()), TVelmoraCore::DefaultRemarks());

    h.Find<QPushButton>("Clear8")->click();
    EXPECT_TRUE(field->toPlainText().isEmpty());
    EXPECT_EQ(remarkBox->count(), 0);

    // What is typed counts once ">>" is clicked, also when the field never lost the focus.
    field->setPlainText(Q("In a meeting\n\nat lunch\nBack shortly\n"));
    auto* again = h.Find<TXQAqua>("XQAqua2");
    again->onclick(again);
    EXPECT_EQ(ComboItems(remarkBox),
              (QList<QByteArray>{"In a meeting", "", "at lunch", "Back shortly"}));
    h.Find<QPushButton>("Button8")->click();
    const QList<QByteArray> sorted{"", "at lunch", "Back shortly", "In a meeting"};
    EXPECT_EQ(form.Core().Remarks(), sorted);
    EXPECT_EQ(TRemarkEditor::LinesOf(field->toPlainText()), sorted);
    EXPECT_EQ(h.Find<QListWidget>("ListBox2")->item(1)->text(), Q("at lunch"));

    auto* close = h.Find<TXQAqua>("XQAqua3");
    close->onclick(close);
    EXPECT_EQ(form.PageControl1().CurrentPage(), form.Page("Options"));
    h.Find<QPushButton>("ToDeflt8")->click();
    EXPECT_EQ(ComboItems(remarkBox), TVelmoraCore::DefaultRemarks());
}

TEST(OptionsLock, OnlyTheAccessCodeTurnsItAndTheLockSurvivesARestart) {
    QByteArray saved;
    {
        FormHarness h;
        auto* lock = h.Find<QPushButton>("Lock");
        auto* hideMessages = h.Find<QCheckBox>("HideMsgSys");
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
        EXPECT_FALSE(h.Find<QCheckBox>("HideDiscuss")->isEnabled());
        EXPECT_EQ(hideMessages->isChecked(), ticked);
        EXPECT_TRUE(h.Find<QCheckBox>("TimeAll")->isEnabled());
        h.form.reset(); // the end of the program saves
        QFile file(h.config.settingsPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        saved = file.readAll();
    }
    FormHarness h(saved);
    auto* lock = h.Find<QPushButton>("Lock");
    EXPECT_EQ(lock->text(), Q("Unlock * "));
    EXPECT_FALSE(h.Find<QCheckBox>("HideDiscuss")->isEnabled());
    InputDialogAnswer right(true, Q("dzv7Lk"));
    lock->click();
    EXPECT_EQ(lock->text(), Q("Lock * "));
    EXPECT_TRUE(h.Find<QCheckBox>("HideMsgSys")->isEnabled());
    EXPECT_TRUE(h.Find<QCheckBox>("HideDiscuss")->isEnabled());
}
