#pragma once
// Form1, the main window: a row of tabs with the status list, messages, compose, discussion,
// options and help pages, three status buttons beside the tabs, the notification-area icon
// and its menu. The window owns the core and turns its signals into what the user sees;
// handlers keep the form's names and stay thin.

#include "core/Core.h"

#include <QElapsedTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QAction;

namespace velmora {

class TChangeStatusPage;
class TDesktopInput;
class TDiscussPage;
class TMessagePages;
class TRemarkEditor;
class TStatusList;
class TTrayIcon;

// The tab set: a tab bar over a stack of pages, where some pages (the change page and the
// remark editor) have no tab and are shown only by the program.
class TPageControl : public QWidget {
    Q_OBJECT
public:
    explicit TPageControl(QWidget* parent = nullptr);
    void AddPage(QWidget* page, const QString& caption, bool hasTab = true);
    void SetTabShown(QWidget* page, bool shown);
    bool TabShown(QWidget* page) const;
    void SetCurrentPage(QWidget* page);
    QWidget* CurrentPage() const;
    QTabBar* TabBar() const { return tabBar_; }
    // Where the three status buttons sit, at the right end of the tab row.
    void SetCornerWidget(QWidget* corner);

Q_SIGNALS:
    // Before the current page is left, then after the new one became current.
    void currentPageChanging(QWidget* from);
    void currentPageChanged(QWidget* page);

private:
    void SyncTabs();
    struct Page {
        QWidget* widget;
        QString caption;
        bool hasTab;
        bool shown;
    };
    QList<Page> pages_;
    QTabBar* tabBar_;
    QStackedWidget* stack_;
    QHBoxLayout* top_ = nullptr;
    QWidget* corner_ = nullptr;
    bool syncing_ = false;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // The client area as laid out; the sizes of Small, Medium and Large derive from it.
    static constexpr int kDesignedWidth = 432;
    static constexpr int kDesignedHeight = 234;

    TForm1(TCoreConfig config, const TClock& clock, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up, first phase; throws EUDPError when the port cannot be bound.
    void FormCreate();
    // Second phase, run once the event loop turns (posted by FormCreate).
    void DeferredStartup();
    // The end: the last announcement and a save. Runs once, after the event loop.
    void FormDestroy();

    TVelmoraCore& Core() { return *core_; }
    TTrayIcon& TrayIcon1() { return *TrayIcon1_; }
    TStatusList& ListBox1() { return *ListBox1_; }
    TPageControl& PageControl1() { return *PageControl1_; }
    QMenu& PopupMenu1() { return *PopupMenu1_; }
    QMenu& PopupMenu2() { return *PopupMenu2_; }
    TMessagePages& MessagePages() { return *messagePages_; }
    QWidget* Page(const char* name) const;
    // One of the window's controls by its object name; every name asked for exists.
    template <class W> W* Control(const char* name) const {
        W* w = findChild<W*>(QString::fromLatin1(name));
        Q_ASSERT_X(w, "TForm1::Control", name);
        return w;
    }

    // Handlers, named as on the form.
    void SelectTab(QWidget* page);
    void PageControl1Change();
    void ShowVelmora1Click();
    void TrayIcon1LeftBtnClick();
    void Exit1Click();
    void ExitwithOutstatus1Click();
    void WMQueryEndSession();
    void ButtonInClick();
    void BusyClick();
    void ButtonOutClick();
    void SelectClick();
    void EditStatus1Click();
    // A remark chosen from the remark box's list, or typed into it and confirmed with Enter.
    void RemarkChosen(const QString& remark);
    void RemarkTyped();
    // Leaving the display name field commits a changed name.
    void realName1Exit();
    // A mouse button pressed on the status list at `pos` (viewport coordinates).
    void ListBox1MouseDown(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                           const QPoint& globalPos);
    void HideMsgSysClick();
    void HideDiscussClick();
    // The Lock button: asks for the access code and, given it, turns the options lock over.
    void LockClick();
    // The remark list of the remark box, the change page and the editor; the remark box keeps
    // what is typed in it.
    void SetRemarkList(const QList<QByteArray>& remarks);
    void ColorSortClick();
    void InPanelClick(QPushButton* panel);
    void Panel1Click();
    void SizeBox1Change();
    void TwoColsClick();
    void ScrnSize1Change();
    void Hlp1Click(const QString& topic);
    void Button9Click();
    void WebSiteClick();
    // The typed-letter handling of the Status page; true when the key was a letter.
    void FormKeyPress(const QString& text);

    // The large height and remembered width that the Height option's "Large" uses.
    int LargeHeight() const { return largeHeight_; }
    int RememberedWidth() const { return rememberedWidth_; }
    bool DialogOpen() const { return dialogOpen_; }
    void SetDialogOpen(bool open) { dialogOpen_ = open; }
    // The display name field's "edited" mark; entering the Compose page clears it.
    void SetNameEdited(bool edited) { nameEdited_ = edited; }
    bool NameEdited() const { return nameEdited_; }

    // The status picture the tray shows after the envelope or the program's icon.
    QIcon RememberedStatusPicture() const { return rememberedPicture_; }
    void ShowStatusPicture(const QIcon& picture);

    // Texts from other copies go into menus through this: "&" shown, never a mnemonic.
    static QString MenuText(const QByteArray& ansi);
    // Paints a control's face (its base, button and window colours) with black text on it.
    static void SetBackground(QWidget* w, const QColor& colour);

    // Leaving the Idle Timeout box, or Enter in it.
    void idleEditExit();

Q_SIGNALS:
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildStatusPage();
    void BuildMessagesPage();
    void BuildComposePage();
    void BuildDiscussPage();
    void BuildOptionsPage();
    void BuildChgStatusPage();
    void BuildInfoPage();
    void BuildHelpPage();
    void BuildMenus();
    void ConnectCore();
    void OptionsToControls();
    void ControlsToOptions();
    void PaintColourPanels();
    void SaveAllSettings();
    void AnnounceOwnStatus(char code, const QByteArray& text, const QIcon* picture);
    void OwnStatusButton(char code, const QByteArray& text, const QIcon& picture);
    void PrepareChangeStatus(const QByteArray& address, const QByteArray& name);
    // The Lock button's caption and the two options it freezes.
    void ShowLock(bool locked);
    void OpenDocument(const QUrl& url, const QString& failure);
    void ApplyHeightFrame();
    void FormActivate();

    TCoreConfig config_;
    std::unique_ptr<TDesktopInput> input_; // read by the core's idle detection
    std::unique_ptr<TVelmoraCore> core_;
    TPageControl* PageControl1_ = nullptr;
    TStatusList* ListBox1_ = nullptr;
    TTrayIcon* TrayIcon1_ = nullptr;
    TMessagePages* messagePages_ = nullptr;
    TChangeStatusPage* changePage_ = nullptr;
    TDiscussPage* discussPage_ = nullptr;
    TRemarkEditor* remarkEditor_ = nullptr;
    QMenu* PopupMenu1_ = nullptr;
    QMenu* PopupMenu2_ = nullptr;
    QComboBox* ComboBox1_ = nullptr;
    QComboBox* ScrnSize1_ = nullptr;
    QComboBox* SizeBox1_ = nullptr;
    QComboBox* ComboBox2_ = nullptr;
    QLineEdit* realName1_ = nullptr;
    QLineEdit* idleEdit_ = nullptr;
    QPlainTextEdit* MsgOut_ = nullptr;
    QList<QPushButton*> colourPanels_;
    QAction* Name1_ = nullptr;
    QAction* Status2_ = nullptr;
    QIcon inPicture_, busyPicture_, outPicture_, remarkPicture_, appPicture_;
    QIcon rememberedPicture_;
    int largeHeight_ = 0;
    int rememberedWidth_ = kDesignedWidth;
    bool dialogOpen_ = false;
    bool nameEdited_ = false;
    bool created_ = false;
    bool destroyed_ = false;
    QColor lastChosenColour_;
    QElapsedTimer broughtForward_; // when the program last asked for the window to come forward
};

} // namespace velmora
