#pragma once
// The keys, clicks and focus changes the main window handles itself: letters typed anywhere on
// the Status page put names on top; Enter in the name and Idle Timeout boxes; leaving those
// boxes; and mouse presses on the status list.

#include <QObject>

namespace velmora {

class MainWindow;

class WindowEventFilter : public QObject {
public:
    explicit WindowEventFilter(MainWindow& window);
    ~WindowEventFilter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& window_;
};

} // namespace velmora
