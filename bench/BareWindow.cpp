// The yardstick of bench/side_by_side.py: the lightest window a Qt Widgets program can show,
// a QMainWindow holding a QTabWidget with one QListWidget and nothing else. It takes the same
// command line as the program and ignores it, so both are started the same way.

#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QTabWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    auto* tabs = new QTabWidget(&window);
    tabs->addTab(new QListWidget(tabs), QStringLiteral("List"));
    window.setCentralWidget(tabs);
    window.show();
    return QApplication::exec();
}
