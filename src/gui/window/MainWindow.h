#pragma once
// The main window: a row of tabs with the status list, messages, compose, discussion,
// options and help pages, three status buttons beside the tabs, the notification-area icon
// and its menu. The window owns the core and turns its signals into what the user sees;
// handlers stay thin.

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

class ChangeStatusPage;
class DesktopInput;
class DiscussPage;
class MessagePages;
class RemarkEditor;
class StatusListView;
class TrayIcon;

// The tab set: a tab bar over a stack of pages, where some pages (the change page and the
// remark editor) have no tab and are shown only by the program.
class TabbedPages : public QWidget {
    Q_OBJECT
public:
    explicit TabbedPages(QWidget* parent = nullptr);
    void addPage(QWidget* page, const QString& caption, bool hasTab = true);
    void setTabShown(QWidget* page, bool shown);
    bool tabShown(QWidget* page) const;
    void setCurrentPage(QWidget* page);
    QWidget* currentPage() const;
    QTabBar* tabBar() const { return tabBar_; }
    // Where the three status buttons sit, at the right end of the tab row.
    void setCornerWidget(QWidget* corner);

Q_SIGNALS:
    // Before the current page is left, then after the new one became current.
    void currentPageChanging(QWidget* from);
    void currentPageChanged(QWidget* page);

private:
    void syncTabs();
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

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // The client area as laid out; the sizes of Small, Medium and Large derive from it.
    static constexpr int kDesignedWidth = 432;
    static constexpr int kDesignedHeight = 234;

    MainWindow(CoreConfig config, const Clock& clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up, first phase; throws EUDPError when the port cannot be bound.
    void startUp();
    // Second phase, run once the event loop turns (posted by startUp).
    void finishStartUp();
    // The end: the last announcement and a save. Runs once, after the event loop.
    void shutDown();

    Core& core() { return *core_; }
    TrayIcon& trayIcon() { return *trayIcon_; }
    StatusListView& statusList() { return *statusList_; }
    TabbedPages& pages() { return *pages_; }
    QMenu& trayMenu() { return *trayMenu_; }
    QMenu& personMenu() { return *personMenu_; }
    MessagePages& messagePages() { return *messagePages_; }
    QWidget* page(const char* name) const;
    // One of the window's controls by its object name; every name asked for exists.
    template <class W> W* control(const char* name) const {
        W* w = findChild<W*>(QString::fromLatin1(name));
        Q_ASSERT_X(w, "MainWindow::control", name);
        return w;
    }

    // Handlers, named as on the form.
    void showPage(QWidget* page);
    void onPageChanged();
    void bringIntoView();
    void onTrayIconClicked();
    void onExitChosen();
    void onExitAsOutChosen();
    void logOff();
    void onInClicked();
    void onBusyClicked();
    void onOutClicked();
    void onChooseRemarkClicked();
    void onPersonalizeStatusClicked();
    // A remark chosen from the remark box's list, or typed into it and confirmed with Enter.
    void onRemarkChosen(const QString& remark);
    void onRemarkConfirmed();
    // Leaving the display name field commits a changed name.
    void onNameBoxLeft();
    // A mouse button pressed on the status list at `pos` (viewport coordinates).
    void onStatusListPressed(Qt::MouseButton button, bool ctrl, const QPoint& pos,
                             const QPoint& globalPos);
    void onHideMessagingClicked();
    void onHideDiscussClicked();
    // The Lock button: asks for the access code and, given it, turns the options lock over.
    void onLockClicked();
    // The remark list of the remark box, the change page and the editor; the remark box keeps
    // what is typed in it.
    void setRemarkList(const QList<QByteArray>& remarks);
    void onColourSortClicked();
    void onColourPanelClicked(QPushButton* panel);
    void onResetColoursClicked();
    void onFontSizeChanged();
    void onTwoColumnsClicked();
    void onHeightChanged();
    void onHelpTopicClicked(const QString& topic);
    void onWebSupportClicked();
    void onWebSiteClicked();
    // The typed-letter handling of the Status page; true when the key was a letter.
    void onLetterTyped(const QString& text);

    // The large height and remembered width that the Height option's "Large" uses.
    int largeHeight() const { return largeHeight_; }
    int rememberedWidth() const { return rememberedWidth_; }
    bool dialogOpen() const { return dialogOpen_; }
    void setDialogOpen(bool open) { dialogOpen_ = open; }
    // The display name field's "edited" mark; entering the Compose page clears it.
    void setNameEdited(bool edited) { nameEdited_ = edited; }
    bool nameEdited() const { return nameEdited_; }

    // The status picture the tray shows after the envelope or the program's icon.
    QIcon rememberedStatusPicture() const { return rememberedPicture_; }
    void showStatusPicture(const QIcon& picture);

    // Texts from other copies go into menus through this: "&" shown, never a mnemonic.
    static QString menuText(const QByteArray& ansi);
    // Paints a control's face (its base, button and window colours) with black text on it.
    static void setBackground(QWidget* w, const QColor& colour);

    // Leaving the Idle Timeout box, or Enter in it.
    void onIdleTimeoutBoxLeft();

Q_SIGNALS:
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildStatusPage();
    void buildMessagesPage();
    void buildComposePage();
    void buildDiscussPage();
    void buildOptionsPage();
    void buildChangeStatusPage();
    void buildRemarkEditorPage();
    void buildHelpPage();
    void buildMenus();
    void connectCore();
    void optionsToControls();
    void controlsToOptions();
    void paintColourPanels();
    void saveAllSettings();
    void announceOwnStatus(char code, const QByteArray& text, const QIcon* picture);
    void announceFromStatusButton(char code, const QByteArray& text, const QIcon& picture);
    void prepareChangeStatus(const QByteArray& address, const QByteArray& name);
    // The Lock button's caption and the two options it freezes.
    void showLock(bool locked);
    void openDocument(const QUrl& url, const QString& failure);
    void applyHeightFrame();
    void onActivated();

    CoreConfig config_;
    std::unique_ptr<DesktopInput> input_; // read by the core's idle detection
    std::unique_ptr<Core> core_;
    TabbedPages* pages_ = nullptr;
    StatusListView* statusList_ = nullptr;
    TrayIcon* trayIcon_ = nullptr;
    MessagePages* messagePages_ = nullptr;
    ChangeStatusPage* changePage_ = nullptr;
    DiscussPage* discussPage_ = nullptr;
    RemarkEditor* remarkEditor_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QMenu* personMenu_ = nullptr;
    QComboBox* remarkBox_ = nullptr;
    QComboBox* heightBox_ = nullptr;
    QComboBox* fontSizeBox_ = nullptr;
    QComboBox* timeFormatBox_ = nullptr;
    QLineEdit* nameBox_ = nullptr;
    QLineEdit* idleTimeoutBox_ = nullptr;
    QPlainTextEdit* composeBox_ = nullptr;
    QList<QPushButton*> colourPanels_;
    QAction* nameAction_ = nullptr;
    QAction* statusAction_ = nullptr;
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
