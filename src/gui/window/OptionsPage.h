#pragma once
// The Options page: the display name, when the window comes into view, the message system and
// the discussion board, the status list's height, font, clock, sort and columns, the time
// stamps, the idle timeout, the class colours, the options lock and the remark list editor.
// Every control changes its option in the core as it changes. The controls are made when the
// page is first shown and take the options as they stand then.

#include "gui/controls/BuiltWhenShown.h"

#include <QColor>
#include <QList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmora {

class Core;
class PageHost;
class StatusListView;
struct Options;
enum class Setting;

class OptionsPage : public BuiltWhenShown {
    Q_OBJECT
public:
    OptionsPage(Core& core, PageHost& host, StatusListView& statusList, QWidget* parent = nullptr);

    // The status list and, once they exist, the controls as the options say (start-up), and
    // what only the controls know back into the options (before a save).
    void showOptions(const Options& options);
    void storeOptions();

    // The display name field as it stands; before the page was built, the own display name,
    // which is what the field will show.
    QString nameText() const;
    // The boxes whose keys and focus the window watches; null until the page is built.
    QLineEdit* nameBox() const { return nameBox_; }
    QLineEdit* idleTimeoutBox() const { return idleTimeoutBox_; }
    // The display name field's "edited" mark; entering the Compose page clears it.
    void setNameEdited(bool edited) { nameEdited_ = edited; }
    bool nameEdited() const { return nameEdited_; }

    // Leaving the display name field commits a changed name.
    void onNameBoxLeft();
    // Leaving the Idle Timeout box, or Enter in it.
    void onIdleTimeoutBoxLeft();
    void onHideMessagingClicked();
    void onHideDiscussClicked();
    void onNewMessageSoundClicked();
    void onColourSortClicked();
    void onTwoColumnsClicked();
    void onFontSizeChanged();
    void onHeightChanged();
    void onColourPanelClicked(QPushButton* panel);
    void onResetColoursClicked();
    // The Lock button: asks for the access code and, given it, turns the options lock over.
    void onLockClicked();

Q_SIGNALS:
    // A new display name was announced; the window shows it and saves the settings.
    void displayNameCommitted();
    // The Height box changed: the window takes its new size.
    void heightChanged();
    // "Status List": the remark list editor.
    void remarkEditorRequested();

private:
    void build() override;
    // The controls as `o` says; the status list is left alone.
    void showControls(const Options& o);
    // The Lock button's caption and the two options it freezes.
    void showLock(bool locked);
    // Whether the computer's administrator locked `setting`; its control is then disabled and
    // says so.
    bool setByAdministrator(Setting setting) const;
    void showSetByAdministrator(QWidget* control, Setting setting);
    void paintColourPanels();
    QCheckBox* box(const char* name) const;

    Core& core_;
    PageHost& host_;
    StatusListView& statusList_;
    QLineEdit* nameBox_ = nullptr;
    QLineEdit* idleTimeoutBox_ = nullptr;
    QComboBox* heightBox_ = nullptr;
    QComboBox* fontSizeBox_ = nullptr;
    QComboBox* timeFormatBox_ = nullptr;
    QPushButton* lockButton_ = nullptr;
    QList<QPushButton*> colourPanels_;
    QColor lastChosenColour_;
    bool nameEdited_ = false;
};

} // namespace velmora
