#include "gui/board/StatusPage.h"

#include "core/net/AnsiText.h"
#include "gui/board/StatusListView.h"
#include "gui/controls/BgrColour.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValidator>
#include <functional>

namespace velmora {

namespace {

// The remark box: an editable drop-down. Enter in the box confirms what was typed; only a pick
// from the opened list is a list choice. The base class would also take a typed text that
// happens to match an item for a pick (on Enter and when the box loses the focus), which would
// announce a status the user never chose.
class RemarkBox : public QComboBox {
public:
    std::function<void()> onDropDown;
    std::function<void()> onConfirmed;
    std::function<void()> onLeft;
    std::function<void()> onListClosed;
    std::function<void()> onEscape;

    // True from the moment the list opens until the events of its closing have run.
    bool choosingFromList() const { return listOpen_; }

    // Outside editing the box shows the start of its text, where a status says what it is.
    void showStart() {
        if (!hasFocus()) lineEdit()->setCursorPosition(0);
    }

    void showPopup() override {
        listOpen_ = true;
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
        // An empty list opens nothing, and no hidePopup follows: the choice is over at once.
        if (!view()->isVisible()) {
            listOpen_ = false;
            if (onListClosed) onListClosed();
        }
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        QTimer::singleShot(0, this, [this] {
            listOpen_ = view()->isVisible();
            if (!listOpen_ && onListClosed) onListClosed();
        });
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && !view()->isVisible()) {
            event->accept();
            if (onConfirmed) onConfirmed();
            return;
        }
        if (event->key() == Qt::Key_Escape && !view()->isVisible()) {
            event->accept();
            if (onEscape) onEscape();
            return;
        }
        QComboBox::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        QComboBox::focusOutEvent(event);
        if (view()->isVisible()) return;
        showStart();
        if (onLeft) onLeft();
    }

private:
    bool listOpen_ = false;
};

// The remark box's input rule, for typed and pasted text and for a script's --status alike:
// only what a person can type.
class TypeableText : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const QString kept = typeableText(input);
        if (kept.size() != input.size()) {
            pos = int(typeableText(input.left(pos)).size());
            input = kept;
        }
        return Acceptable;
    }
};

} // namespace

StatusPage::StatusPage(Core& core, PageHost& host, const StatusPictures& pictures, QWidget* parent)
    : QWidget(parent), core_(core), host_(host), pictures_(pictures) {
    setObjectName(latin1("statusPage"));
    auto* l = columnLayout(this, 1, 1);
    auto* bar = rowLayout(2);
    auto* remarkBox = new RemarkBox;
    remarkBox->onDropDown = [this] {
        setBackground(remarkBox_, colourFromBgr(core_.options().colours.others));
    };
    remarkBox->onConfirmed = [this] { onRemarkConfirmed(); };
    remarkBox->onLeft = [this] { onRemarkBoxLeft(); };
    // Escape drops what was typed and not sent.
    remarkBox->onEscape = [this] { remarkBox_->setEditText(announcedText_); };
    // The list opened by "Set my Status from a List" and closed without the box ever having
    // the focus: that too is leaving the box.
    remarkBox->onListClosed = [this] {
        if (!remarkBox_->hasFocus()) onRemarkBoxLeft();
    };
    remarkBox_ = named<QComboBox>(remarkBox, "remarkBox");
    remarkBox_->setEditable(true);
    connect(remarkBox_->lineEdit(), &QLineEdit::textChanged, this,
            [remarkBox] { remarkBox->showStart(); });
    remarkBox_->setValidator(new TypeableText(remarkBox_));
    // No inline completion: a completion the user did not confirm must never be announced.
    remarkBox_->setCompleter(nullptr);
    remarkBox_->setInsertPolicy(QComboBox::NoInsert);
    remarkBox_->setFixedWidth(160);
    remarkBox_->setMaxVisibleItems(14);
    remarkBox_->setToolTip(latin1("Enter a customized remark here then type return"));
    for (const QByteArray& r : Core::defaultRemarks())
        remarkBox_->addItem(fromAnsi(r));
    remarkBox_->setCurrentIndex(-1);
    bar->addWidget(remarkBox_);
    QPushButton* choose = pushButton("chooseRemarkButton", "Set my Status from a List");
    QPushButton* personalize = pushButton("personalizeButton", "Personalize my Status");
    bar->addWidget(choose);
    bar->addWidget(personalize);
    connect(choose, &QPushButton::clicked, this, &StatusPage::onChooseRemarkClicked);
    connect(personalize, &QPushButton::clicked, this, &StatusPage::onPersonalizeStatusClicked);
    connect(remarkBox_, &QComboBox::textActivated, this, [this, remarkBox](const QString& text) {
        if (remarkBox->choosingFromList()) onRemarkChosen(text);
    });
    // Takes the focus after a status button; the Tab key passes it by, as nothing shows there.
    focusParking_ = named(new QWidget, "focusParking");
    focusParking_->setFixedSize(0, 0);
    focusParking_->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(focusParking_);
    bar->addStretch(1);
    l->addLayout(bar);
    statusList_ = new StatusListView(core_);
    l->addWidget(statusList_, 1);
    connectionLine_ = named(new QLabel, "connectionLine");
    connectionLine_->setTextFormat(Qt::PlainText);
    setTextColour(connectionLine_, QColor(0xc0, 0x00, 0x00));
    connectionLine_->setVisible(false);
    l->addWidget(connectionLine_);

    connect(&core_.presence(), &Presence::ownStatusAnnounced, this,
            [this](StatusCode code, const QByteArray& text) {
                announcedText_ = fromAnsi(text);
                setBackground(remarkBox_,
                              colourFromBgr(colourForCode(code, core_.options().colours)));
                if (remarkMirroring_) remarkBox_->setEditText(fromAnsi(text));
            });
    connect(&core_.idle(), &IdleDetector::statusListRepaintDue, this,
            [this] { statusList_->viewport()->update(); });
}

void StatusPage::announceOwnStatus(StatusCode code, const QByteArray& text, const QIcon* picture) {
    if (picture) host_.showStatusPicture(*picture);
    const bool stamp = core_.options().stampChanges;
    host_.reportSend(
        core_.presence().announceOwnStatus(code, text, {.stamp = stamp, .renewStamp = stamp}));
}

void StatusPage::announceFromStatusButton(StatusCode code, const QByteArray& text,
                                          const QIcon& picture) {
    host_.showPage(PageId::Status);
    announceOwnStatus(code, text, &picture);
    if (window()->isVisible()) focusParking_->setFocus();
}

void StatusPage::onInClicked() {
    announceFromStatusButton(StatusCode::In, "In", pictures_.in);
}

void StatusPage::onBusyClicked() {
    announceFromStatusButton(StatusCode::Busy, "Busy - In but unavailable", pictures_.busy);
}

void StatusPage::onOutClicked() {
    announceFromStatusButton(StatusCode::Out, "Out", pictures_.out);
    host_.showPage(PageId::Status);
}

void StatusPage::onChooseRemarkClicked() {
    setBackground(remarkBox_, colourFromBgr(core_.options().colours.others));
    remarkMirroring_ = false; // announcements must not overwrite the choice
    remarkBox_->showPopup();
}

void StatusPage::onRemarkChosen(const QString& remark) {
    remarkMirroring_ = true;
    announceOwnStatus(StatusCode::Remark, toAnsi(remark), &pictures_.remark);
    statusList_->setFocus();
}

void StatusPage::onRemarkConfirmed() {
    announceOwnStatus(StatusCode::Remark, toAnsi(remarkBox_->currentText()), nullptr);
    statusList_->setFocus();
    remarkMirroring_ = true;
}

void StatusPage::onRemarkBoxLeft() {
    setBackground(remarkBox_,
                  colourFromBgr(colourForCode(core_.own().code, core_.options().colours)));
    remarkMirroring_ = true;
}

void StatusPage::onPageLeft() {
    if (!remarkMirroring_) return;
    remarkBox_->hidePopup();
    remarkBox_->clearFocus();
}

void StatusPage::onPersonalizeStatusClicked() {
    if (const auto text =
            host_.askText(latin1("Personalize my Status"), latin1("Enter my New Status")))
        announceOwnStatus(StatusCode::Remark, toAnsi(*text), &pictures_.remark);
}

void StatusPage::onStatusListPressed(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                                     const QPoint& globalPos) {
    const int hit = statusList_->rowAt(pos);
    if (button == Qt::LeftButton && hit < 0) return; // a click beside the rows selects nobody
    QByteArray entry;
    {
        Roster& roster = core_.roster();
        std::lock_guard guard(roster.lock());
        // Anything that does not resolve falls back to the first row and position 0.
        int row = hit;
        if (row < 0 || row >= statusList_->rowCount() || row >= roster.count()) row = 0;
        int position = row < roster.displayOrder().size() ? roster.displayOrder()[row].position : 0;
        if (position < 0 || position >= roster.count()) position = 0;
        if (roster.count() == 0) return;
        entry = roster.entries()[position];
    }
    const RosterFields fields = Roster::split(entry);
    const bool offLine = Roster::isOffLine(entry);
    if (button == Qt::LeftButton) {
        if (ctrl)
            Q_EMIT changeStatusChosen(fields.address, fields.name);
        else
            Q_EMIT recipientChosen(fields.address, fields.name, offLine);
        return;
    }
    // The row under the pointer becomes the selected one; below the last row, none is.
    if (hit >= 0)
        statusList_->setCurrentIndex(statusList_->model()->index(hit, 0));
    else
        statusList_->clearSelection();
    Q_EMIT personMenuRequested(fields.address, fields.name, offLine, globalPos);
}

void StatusPage::onLetterTyped(const QString& text) {
    // What is typed into the remark box is a remark, not a search in the list.
    if (text.isEmpty() || remarkBox_->hasFocus()) return;
    // A combining mark typed on its own has no byte.
    const QByteArray ansi = toAnsi(text.left(1));
    if (!ansi.isEmpty() && core_.typedLetter(ansi[0])) statusList_->scrollToTop();
}

void StatusPage::showConnectionProblem(const QString& reason) {
    connectionLine_->setText(reason.isEmpty() ? QString() : latin1("Not connected: ") + reason);
    connectionLine_->setVisible(!reason.isEmpty());
}

void StatusPage::setRemarks(const QList<QByteArray>& remarks) {
    const QString typed = remarkBox_->currentText();
    const QSignalBlocker quiet(remarkBox_);
    remarkBox_->clear();
    for (const QByteArray& r : remarks)
        remarkBox_->addItem(fromAnsi(r));
    remarkBox_->setEditText(typed);
}

} // namespace velmora
