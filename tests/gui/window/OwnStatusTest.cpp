// Setting the own status and name from the window, and the status list's mouse buttons.

#include "gui/board/StatusListView.h"
#include "gui/controls/TrayIcon.h"
#include "support/WindowHarness.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::FormHarness;

namespace {
QString Q(const char* text) {
    return QString::fromLatin1(text);
}
} // namespace

TEST(OwnStatus, RemarksFromTheListAndTypedRemarksDifferInTheirPicture) {
    FormHarness h;
    TForm1& form = *h.form;
    h.sent.clear();
    const qint64 inPicture = form.TrayIcon1().Icon().cacheKey();

    auto* box = h.Find<QComboBox>("ComboBox1");
    box->setEditText(Q("Back at three"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "ayOPERATOR\xF7 Back at three ( 9:05 AM on Mon)");
    EXPECT_EQ(form.TrayIcon1().Icon().cacheKey(), inPicture);

    form.RemarkChosen(Q("At lunch"));
    EXPECT_EQ(h.sent.value(1), "ayOPERATOR\xF7 At lunch ( 9:05 AM on Mon)");
    EXPECT_NE(form.TrayIcon1().Icon().cacheKey(), inPicture);

    // Without stamps the text goes out bare and the old stamp is kept for later.
    form.Core().Options().ShwTime = false;
    h.Find<QPushButton>("ButtonOut")->click();
    EXPECT_EQ(h.sent.value(2), "arOPERATOR\xF7 Out");
    EXPECT_EQ(form.Core().Own().stamp, " ( 9:05 AM on Mon)");
}

TEST(OwnStatus, DisplayNameRules) {
    FormHarness h;
    TForm1& form = *h.form;
    auto* name = h.Find<QLineEdit>("realName1");
    form.SelectTab(form.Page("Options"));
    h.sent.clear();

    // Leaving the field unchanged sends nothing and writes no file.
    name->setFocus();
    form.realName1Exit();
    EXPECT_TRUE(h.sent.isEmpty());
    EXPECT_FALSE(QFile::exists(h.config.settingsPath));

    // Typing stops after 31 characters...
    name->clear();
    QTest::keyClicks(name, QString(40, QLatin1Char('a')));
    EXPECT_EQ(name->text().size(), 31);
    // ...while a longer pasted name is cut to 60 when the field is left.
    name->setText(QString(80, QLatin1Char('b')));
    form.SetNameEdited(true);
    form.realName1Exit();
    ASSERT_EQ(h.sent.size(), 1);
    EXPECT_EQ(h.sent[0], "zw10.0.0.5\xF7" + QByteArray(60, 'b') + "\xF7" + "In");
    EXPECT_EQ(form.Core().Own().displayName, QByteArray(60, 'b'));
    EXPECT_TRUE(QFile::exists(h.config.settingsPath));

    // The rename comes back as a white row under the new name.
    form.Core().DispatchDatagram(h.sent[0], "10.0.0.5");
    EXPECT_EQ(form.Core().Roster().Entries()[0], "10.0.0.5=" + QByteArray(60, 'b') + "\xF7wIn");
    EXPECT_EQ(form.Core().Own().code, 'w');
}

TEST(ListMouse, RightClickBelowTheRowsOpensTheMenuForTheFirstRow) {
    FormHarness h;
    TForm1& form = *h.form;
    form.Core().DispatchDatagram("arAnn\xF7 Out  (off-line)", "10.0.0.7");
    const QByteArray first =
        TRoster::Split(
            form.Core().Roster().Entries()[form.Core().Roster().DisplayOrder()[0].position])
            .name;

    form.ListBox1MouseDown(Qt::RightButton, false, QPoint(5, 1000), QPoint(0, 0));
    EXPECT_EQ(h.Find<QAction>("ShowName")->text(), QString::fromLatin1(first));
    form.PopupMenu2().hide();

    // Ctrl + left click on Ann's row prepares and opens the change page for her.
    const int row = [&] {
        const auto& order = form.Core().Roster().DisplayOrder();
        for (int r = 0; r < order.size(); ++r)
            if (form.Core().Roster().Entries()[order[r].position].startsWith("10.0.0.7=")) return r;
        return -1;
    }();
    ASSERT_GE(row, 0);
    const QPoint onRow(5, row * form.ListBox1().RowHeight() + 3);
    form.ListBox1MouseDown(Qt::LeftButton, true, onRow, QPoint());
    EXPECT_EQ(form.PageControl1().CurrentPage(), form.Page("ChgStatus"));
    EXPECT_EQ(h.Find<QGroupBox>("GroupBox8")->title(), Q(" Change Status for Ann"));
    EXPECT_EQ(h.Find<QLabel>("Label4")->text(), QString::fromUtf8("zw10.0.0.7\u00F7Ann"));
}
