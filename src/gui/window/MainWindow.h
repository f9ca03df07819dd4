#pragma once
// The main window: a row of tabs over the pages, the three status buttons beside the tabs, the
// notification-area icon and its menus. The window owns the core, builds the pages and wires
// the core's signals and the pages' requests to each other; it keeps the window-wide rules
// itself: activation, closing, exit and log-off, and (through WindowSizing) its size per page.

#include "core/Core.h"
#include "gui/board/StatusPage.h"
#include "gui/window/PageHost.h"
#include "gui/window/WindowSizing.h"

#include <QElapsedTimer>
#include <QWidget>
#include <memory>

namespace velmora {

class ChangeStatusPage;
class ComposePage;
class DesktopInput;
class DiscussPage;
class HelpPage;
class MessageAlerts;
class MessagesPage;
class OptionsPage;
class RemarkEditor;
class StatusListView;
class TabbedPages;
class TakeoverAlert;
class TrayIcon;
class WindowEventFilter;
class WindowMenus;

class MainWindow : public QWidget, public PageHost {
    Q_OBJECT
public:
    // The client area as laid out; the sizes of Small, Medium and Large derive from it.
    static constexpr int kDesignedWidth = 432;
    static constexpr int kDesignedHeight = 234;

    MainWindow(CoreConfig config, const Clock& clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up, first phase; throws UdpError when the port cannot be bound.
    void startUp();
    // Second phase, run once the event loop turns (posted by startUp).
    void finishStartUp();
    // The end: the last announcement and a save. Runs once, after the event loop.
    void shutDown();
    // Log-off, shutdown or a termination signal: the last word, a save, and the end.
    void logOff();

    Core& core() { return *core_; }
    TrayIcon& trayIcon() { return *trayIcon_; }
    MessageAlerts& alerts() { return *alerts_; }
    TakeoverAlert& takeoverAlert() { return *takeoverAlert_; }
    StatusListView& statusList();
    TabbedPages& pages() { return *pages_; }
    WindowMenus& menus() { return *menus_; }
    StatusPage& statusPage() { return *statusPage_; }
    MessagesPage& messagesPage() { return *messagesPage_; }
    ComposePage& composePage() { return *composePage_; }
    DiscussPage& discussPage() { return *discussPage_; }
    OptionsPage& optionsPage() { return *optionsPage_; }
    QWidget* page(const char* name) const;
    void showPage(QWidget* page);

    void onPageChanged();
    void bringIntoView() override;
    void onTrayIconClicked();
    void onExitChosen();
    void onExitAsOutChosen();

    // The large height and remembered width that the Height option's "Large" uses.
    int largeHeight() const { return sizing_->largeHeight(); }
    int rememberedWidth() const { return sizing_->rememberedWidth(); }
    bool dialogOpen() const { return dialogOpen_; }
    // The status picture the tray shows after the envelope or the program's icon.
    QIcon rememberedStatusPicture() const { return rememberedPicture_; }

    // A failure the user must see, in the window's error box.
    void showError(const QString& text);

    // PageHost
    void showPage(PageId page) override;
    bool isCurrentPage(PageId page) const override;
    bool isTabShown(PageId page) const override;
    void setTabShown(PageId page, bool shown) override;
    void setDialogOpen(bool open) override;
    QWidget* dialogParent() override { return this; }
    std::optional<QString> askText(const QString& caption, const QString& prompt,
                                   bool secret) override;
    bool reportSend(const SendResult& result) override;
    void showStatusPicture(const QIcon& picture) override;
    void showTrayPicture(const QIcon& picture) override;
    void restoreTrayPicture() override;
    void setRemarkList(const QList<QByteArray>& remarks) override;

Q_SIGNALS:
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildPages();
    void connectCore();
    void optionsToControls();
    void controlsToOptions();
    void saveAllSettings();
    void onPersonMenuRequested(const QByteArray& address, const QByteArray& name, bool offLine,
                               const QPoint& globalPos);
    void onHeightChanged();
    void onActivated();
    QWidget* widgetOf(PageId page) const;

    CoreConfig config_;
    std::unique_ptr<DesktopInput> input_; // read by the core's idle detection
    std::unique_ptr<Core> core_;
    StatusPictures pictures_;
    QIcon appPicture_;
    QIcon rememberedPicture_;
    TabbedPages* pages_ = nullptr;
    std::unique_ptr<WindowMenus> menus_;
    std::unique_ptr<WindowEventFilter> eventFilter_;
    std::unique_ptr<WindowSizing> sizing_;
    TrayIcon* trayIcon_ = nullptr;
    MessageAlerts* alerts_ = nullptr;        // child of the window
    TakeoverAlert* takeoverAlert_ = nullptr; // child of the window
    StatusPage* statusPage_ = nullptr;
    MessagesPage* messagesPage_ = nullptr;
    ComposePage* composePage_ = nullptr;
    DiscussPage* discussPage_ = nullptr;
    OptionsPage* optionsPage_ = nullptr;
    ChangeStatusPage* changePage_ = nullptr;
    RemarkEditor* remarkEditor_ = nullptr;
    HelpPage* helpPage_ = nullptr;
    bool dialogOpen_ = false;
    bool created_ = false;
    bool destroyed_ = false;
    QElapsedTimer broughtForward_; // when the program last asked for the window to come forward
    QElapsedTimer dialogClosed_;   // when the program's last dialog closed
};

} // namespace velmora
