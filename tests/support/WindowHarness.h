#pragma once
// A main window on the offscreen platform, its core on the offline setup of CoreHarness.h.

#include "gui/board/StatusListView.h"
#include "gui/controls/WidgetKit.h"
#include "gui/messaging/ComposePage.h"
#include "gui/messaging/MessagesPage.h"
#include "gui/window/MainWindow.h"
#include "gui/window/OptionsPage.h"
#include "gui/window/TabbedPages.h"
#include "gui/window/WindowMenus.h"
#include "support/CoreHarness.h"

#include <QApplication>
#include <QColorDialog>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace velmora::test {

class WindowHarness : public OfflineSetup {
public:
    // `settings` is the settings file's content; `defaults` the computer's defaults file's.
    explicit WindowHarness(const QByteArray& settings = {}, const QByteArray& defaults = {}) {
        if (!defaults.isEmpty())
            config.systemDefaults = SystemDefaults::parse(defaults, Q("defaults.ini"), nullptr);
        if (!settings.isEmpty()) {
            QFile f(config.settingsPath);
            if (f.open(QIODevice::WriteOnly)) f.write(settings);
        }
        window = std::make_unique<MainWindow>(config, clock);
        recordSent(window->core());
        window->startUp();
        QCoreApplication::processEvents(); // the deferred start-up
    }

    template <class T> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    std::unique_ptr<MainWindow> window;
};

// The window a dialog belongs to becomes the active one again as the dialog is answered, as the
// desktop's window manager makes it; the offscreen platform leaves no window active.
inline void answered(QWidget* dialog) {
    QWidget* owner = dialog->parentWidget();
    if (!owner) return;
    QCoreApplication::processEvents(); // the platform's own word on the dialog comes first
    QApplication::setActiveWindow(owner->window());
}

// Answers the next input dialog the program opens: `text` and OK, or Cancel. Its caption and
// prompt are kept for the test to check.
struct InputDialogAnswer {
    InputDialogAnswer(bool ok, const QString& text) {
        QTimer::singleShot(0, [this, ok, text] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QInputDialog*>(w); d && d->isVisible()) {
                    caption = d->windowTitle();
                    prompt = d->labelText();
                    d->setTextValue(text);
                    ok ? d->accept() : d->reject();
                    answered(d);
                }
        });
    }
    QString caption;
    QString prompt;
};

// Answers the next colour dialog the program opens with `colour` and OK.
struct ColourDialogAnswer {
    explicit ColourDialogAnswer(const QColor& colour) {
        QTimer::singleShot(0, [colour] {
            if (auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget())) {
                d->setCurrentColor(colour);
                d->accept();
                answered(d);
            }
        });
    }
};

// Answers the next modal message box with `button` as soon as it is up, and keeps its text and
// position. Gives up after a few seconds, so that a test never waits for ever.
struct ModalAnswer {
    QString text;
    QPoint position;
    bool seen = false;

    void next(QMessageBox::StandardButton button) {
        auto* timer = new QTimer;
        timer->setInterval(10);
        auto tries = std::make_shared<int>(0);
        QObject::connect(timer, &QTimer::timeout, timer, [this, timer, tries, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box && ++*tries < 500) return;
            if (box) {
                seen = true;
                text = box->text();
                position = box->pos();
                box->button(button)->click();
                velmora::test::answered(box);
            }
            timer->stop();
            timer->deleteLater();
        });
        timer->start();
    }
};

} // namespace velmora::test
