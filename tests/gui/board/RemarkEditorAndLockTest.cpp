// The discussion board, the remark list editor, the options lock and the settings that the
// computer's administrator locked.

#include "gui/board/RemarkEditor.h"
#include "support/WindowUser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHelpEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QToolTip>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::ColourDialogAnswer;
using velmora::test::InputDialogAnswer;
using velmora::test::Q;
using velmora::test::WindowUser;

namespace {

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
    WindowUser h;
    for (int i = 1; i <= 100; ++i)
        h.window->core().dispatchDatagram("dAnn > line " + QByteArray::number(i), "10.0.0.7");
    h.tab("Discuss");
    auto* blog = h.find<QPlainTextEdit>("discussionBoard");
    QStringList lines = linesOf(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 2"));
    EXPECT_EQ(lines.last(), Q("Ann > line 100"));

    h.tab("Options");
    h.click("hideDiscussBox");
    h.window->core().dispatchDatagram("dAnn > unseen", "10.0.0.7");
    h.click("hideDiscussBox");
    // Another copy's line breaks do not make one arrival several lines.
    h.window->core().dispatchDatagram("dBob > two\r\nlines", "10.0.0.8");
    lines = linesOf(blog);
    ASSERT_EQ(lines.size(), 99);
    EXPECT_EQ(lines.first(), Q("Ann > line 3"));
    EXPECT_EQ(lines.last(), Q("Bob > two  lines"));
    EXPECT_FALSE(lines.contains(Q("Ann > unseen")));
}

TEST(Discuss, SubmitSendsTheBoxAsItStandsAndShowsNothingUntilItComesBack) {
    WindowUser h;
    h.sent.clear();
    h.tab("Discuss");
    auto* entry = h.find<QLineEdit>("discussionEntry");
    // The hint is no text: an untouched entry sends nothing.
    EXPECT_EQ(entry->placeholderText(), Q("Enter your text here and click on the submit button."));
    h.click("submitButton");
    h.tab("Options");
    h.click("nameBox");
    h.retype(Q("Op & Co"));
    h.click("stampChangesBox");
    h.tab("Discuss");
    h.click(entry);
    h.retype(Q("   "));
    h.click("submitButton");
    h.click("submitButton"); // empty now: nothing
    // Leaving the name field announced the new name; only the discussion lines count here.
    h.sent.removeIf(
        [](const QByteArray& d) { return datagram::kindOf(d) != datagram::Kind::DiscussionEntry; });
    EXPECT_EQ(h.sent, (QList<QByteArray>{"dOp & Co >    "}));
    EXPECT_TRUE(entry->text().isEmpty());
    EXPECT_TRUE(h.find<QPlainTextEdit>("discussionBoard")->document()->isEmpty());
}

TEST(RemarkEditor, ListButtonsAndTheFieldRewriteTheSharedList) {
    WindowUser h;
    MainWindow& window = *h.window;
    auto* remarkBox = h.find<QComboBox>("remarkBox");
    h.window->core().dispatchDatagram("arAnn\xF7 Out", "10.0.0.7");
    h.tab("Options");
    h.click("remarkEditorButton");
    auto* field = h.find<QPlainTextEdit>("remarkText");
    EXPECT_EQ(window.pages().currentPage(), window.page("remarkEditorPage"));
    EXPECT_EQ(RemarkEditor::linesOf(field->toPlainText()), Core::defaultRemarks());

    h.click("clearListButton");
    EXPECT_TRUE(field->toPlainText().isEmpty());
    EXPECT_EQ(remarkBox->count(), 0);

    // What is typed counts once ">>" is clicked, also when the field never lost the focus.
    h.click(field);
    for (const char* line : {"In a meeting", "", "at lunch", "Back shortly"}) {
        h.input.type(Q(line));
        h.input.key(Qt::Key_Return);
    }
    h.click("remarkEditorArrow");
    EXPECT_EQ(comboItems(remarkBox),
              (QList<QByteArray>{"In a meeting", "", "at lunch", "Back shortly"}));
    h.click("sortListButton");
    const QList<QByteArray> sorted{"", "at lunch", "Back shortly", "In a meeting"};
    EXPECT_EQ(window.core().remarks(), sorted);
    EXPECT_EQ(RemarkEditor::linesOf(field->toPlainText()), sorted);
    // Ann's change page, opened by Ctrl + left click on her row, lists them sorted.
    h.tab("Status");
    h.row("10.0.0.7", Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(h.find<QListWidget>("remarkList")->item(1)->text(), Q("at lunch"));

    h.tab("Options");
    h.click("remarkEditorButton");
    h.click("defaultListButton");
    EXPECT_EQ(comboItems(remarkBox), Core::defaultRemarks());
    h.click("closeEditorButton");
    EXPECT_EQ(window.pages().currentPage(), window.page("optionsPage"));
}

TEST(OptionsLock, OnlyTheAccessCodeTurnsItAndTheLockSurvivesARestart) {
    QByteArray saved;
    {
        WindowUser h;
        h.tab("Options");
        auto* lock = h.find<QPushButton>("lockButton");
        auto* hideMessages = h.find<QCheckBox>("hideMessagingBox");
        const bool ticked = hideMessages->isChecked();
        for (const char* wrong : {"DZV7LK", ""}) {
            InputDialogAnswer answer(true, Q(wrong));
            h.click(lock);
            EXPECT_EQ(answer.caption.size(), 26);
            EXPECT_EQ(answer.prompt.size(), 9);
        }
        InputDialogAnswer cancelled(false, Q("dzv7Lk"));
        h.click(lock);
        EXPECT_EQ(lock->text(), Q("Lock *"));
        EXPECT_TRUE(hideMessages->isEnabled());

        InputDialogAnswer right(true, Q("dzv7Lk"));
        h.click(lock);
        EXPECT_EQ(lock->text(), Q("Unlock * "));
        EXPECT_FALSE(hideMessages->isEnabled());
        EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
        EXPECT_EQ(hideMessages->isChecked(), ticked);
        EXPECT_TRUE(h.find<QCheckBox>("stampChangesBox")->isEnabled());
        EXPECT_TRUE(h.find<QCheckBox>("idleOnLockBox")->isEnabled());
        h.window.reset(); // the end of the program saves
        QFile file(h.config.settingsPath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        saved = file.readAll();
    }
    WindowUser h(saved);
    h.tab("Options");
    auto* lock = h.find<QPushButton>("lockButton");
    EXPECT_EQ(lock->text(), Q("Unlock * "));
    EXPECT_FALSE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
    InputDialogAnswer right(true, Q("dzv7Lk"));
    h.click(lock);
    EXPECT_EQ(lock->text(), Q("Lock * "));
    EXPECT_TRUE(h.find<QCheckBox>("hideMessagingBox")->isEnabled());
    EXPECT_TRUE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
}

TEST(OptionsLock, WhatTheAdministratorLockedNeitherAClickNorTheAccessCodeChanges) {
    WindowUser h("[VLX]\nShwTime=1\n", "[VLX]\nShwTime=0\nclock24=1\n[Locked]\nVLX.ShwTime=1\n"
                                       "VLX.clock24=1\nVLX.msgOn=1\nColor.Busy=1\n");
    h.tab("Options");
    const Options before = h.window->core().options();
    for (const char* name :
         {"stampChangesBox", "timeFormatBox", "hideMessagingBox", "busyColourPanel"}) {
        QWidget* control = h.find<QWidget>(name);
        ColourDialogAnswer ifItOpened(Qt::black); // a colour dialog would otherwise wait
        h.click(control);
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << name;
        // Resting the mouse on it says why.
        QHelpEvent rest(QEvent::ToolTip, {1, 1}, control->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(control, &rest);
        EXPECT_EQ(QToolTip::text(), Q("Set by your administrator")) << name;
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::text().isEmpty(); }));
    }
    QCoreApplication::processEvents();
    const Options& o = h.window->core().options();
    EXPECT_EQ(h.find<QComboBox>("timeFormatBox")->currentText(), Q("24-hour clock"));
    EXPECT_EQ(std::tuple(o.stampChanges, o.use24HourClock, o.messagingHidden, o.colours.busy),
              std::tuple(false, true, false, before.colours.busy));

    // Locking and unlocking with the access code frees the other starred option only.
    for (int turn = 0; turn < 2; ++turn) {
        InputDialogAnswer right(true, Q("dzv7Lk"));
        h.click("lockButton");
    }
    EXPECT_TRUE(h.find<QCheckBox>("hideDiscussBox")->isEnabled());
    EXPECT_FALSE(h.find<QCheckBox>("hideMessagingBox")->isEnabled());
}
