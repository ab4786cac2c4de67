#pragma once

// The commands of the main window's menu bar and of its list's pop-up menu,
// in one table: each command with its handler, its caption in either menu
// (or none), its shortcut and what enables it. Both menus are built from the
// table and enabled from it, so a command the two share cannot drift apart.

#include <QKeySequence>
#include <QString>

#include <array>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class MainWindow;
struct RowCommandState;

// What the selection must allow for a command to run.
enum class CommandEnable { Always, Rest, Property, Message, Wake, Open, Align };

// Where a command sits in one of the two menus.
struct MenuPlace {
    // The submenu it goes into (the window's member, or one of the table's
    // own); null for the menu bar itself.
    QMenu **In = nullptr;
    // Empty: the command is not in this menu.
    QString Caption{};
    bool SeparatorBefore = false;
    // The window's member that gets the item, when it has one.
    QAction **Item = nullptr;
    // A submenu: the member that gets it (and the commands that go into it
    // name it as their In).
    QMenu **Submenu = nullptr;
};

struct MainCommand {
    MenuPlace Menu{}, Popup{};
    // Goes on the pop-up's item when there is one (the window carries that
    // item too, so the key works with the menu closed), else on the main
    // menu's.
    QKeySequence Shortcut{};
    enum CheckKind { Plain, Checkable, Radio } Check = Plain;
    CommandEnable Enable = CommandEnable::Always;
    // Null for a submenu.
    std::function<void()> Handler{};
    // The object name of a submenu, when it has one.
    QString Name{};

    // The items built from this entry (a submenu's own action).
    QAction *MenuAction = nullptr, *PopupAction = nullptr;
};

class MainCommands {
public:
    // Builds the window's menu bar and its list menu pmProp, and fills the
    // window's mn* and pm* members.
    explicit MainCommands(MainWindow &window);

    // Enables the row commands of both menus for the selection.
    void Enable(const RowCommandState &state);

private:
    void Build(MainCommand &command, bool popup);

    MainWindow &window_;
    std::vector<MainCommand> table_;
    // The submenus the window has no member for.
    std::array<QMenu *, 5> submenus_{};
};
