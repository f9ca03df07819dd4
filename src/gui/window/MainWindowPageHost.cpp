// The window's side of PageHost: what the pages ask of the window they live in.
#include "gui/board/ChangeStatusPage.h"
#include "gui/board/RemarkEditor.h"
#include "gui/board/StatusPage.h"
#include "gui/controls/TrayIcon.h"
#include "gui/messaging/ComposePage.h"
#include "gui/messaging/DiscussPage.h"
#include "gui/messaging/MessagesPage.h"
#include "gui/window/HelpPage.h"
#include "gui/window/MainWindow.h"
#include "gui/window/OptionsPage.h"
#include "gui/window/TabbedPages.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace velmora {

QWidget* MainWindow::widgetOf(PageId page) const {
    switch (page) {
    case PageId::Status:
        return statusPage_;
    case PageId::Messages:
        return messagesPage_;
    case PageId::Compose:
        return composePage_;
    case PageId::Discuss:
        return discussPage_;
    case PageId::Options:
        return optionsPage_;
    case PageId::ChangeStatus:
        return changePage_;
    case PageId::RemarkEditor:
        return remarkEditor_;
    case PageId::Help:
        return helpPage_;
    }
    return statusPage_;
}

void MainWindow::showPage(PageId page) {
    showPage(widgetOf(page));
}

bool MainWindow::isCurrentPage(PageId page) const {
    return pages_->currentPage() == widgetOf(page);
}

bool MainWindow::isTabShown(PageId page) const {
    return pages_->tabShown(widgetOf(page));
}

void MainWindow::setTabShown(PageId page, bool shown) {
    pages_->setTabShown(widgetOf(page), shown);
}

std::optional<QString> MainWindow::askText(const QString& caption, const QString& prompt,
                                           bool secret) {
    QInputDialog dialog(this);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(QString());
    if (secret) dialog.setTextEchoMode(QLineEdit::Password);
    setDialogOpen(true);
    const bool ok = dialog.exec() == QDialog::Accepted;
    setDialogOpen(false);
    if (!ok) return std::nullopt;
    return dialog.textValue();
}

void MainWindow::setDialogOpen(bool open) {
    dialogOpen_ = open;
    if (!open) dialogClosed_.start();
}

bool MainWindow::reportSend(const SendResult& result) {
    if (!result.refused()) return true;
    showError(result.reason);
    return false;
}

void MainWindow::showError(const QString& text) {
    const bool wasOpen = dialogOpen_;
    setDialogOpen(true);
    QMessageBox::critical(this, windowTitle(), text);
    setDialogOpen(wasOpen);
}

void MainWindow::showStatusPicture(const QIcon& picture) {
    rememberedPicture_ = picture;
    trayIcon_->setIcon(picture);
}

void MainWindow::showTrayPicture(const QIcon& picture) {
    trayIcon_->setIcon(picture);
}

void MainWindow::restoreTrayPicture() {
    trayIcon_->setIcon(rememberedPicture_);
}

void MainWindow::setRemarkList(const QList<QByteArray>& remarks) {
    core_->setRemarks(remarks);
    statusPage_->setRemarks(remarks);
}

} // namespace velmora
