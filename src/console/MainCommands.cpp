#include "console/MainCommands.h"

#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/MainWindow.h"
#include "console/RowCommands.h"
#include "process/ProcessFlags.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

// Captions come marked for the translation files and are shown in the
// console's language.
MenuPlace Item(QMenu **in, const char *caption, QAction **item, bool separatorBefore = false)
{
    return {in, QCoreApplication::translate("MainWindow", caption), separatorBefore, item, nullptr};
}

MenuPlace Sub(QMenu **in, const char *caption, QMenu **submenu, bool separatorBefore = false)
{
    return {in, QCoreApplication::translate("MainWindow", caption), separatorBefore, nullptr, submenu};
}

constexpr bool Separated = true;

std::function<void()> Run(MainWindow &w, void (MainWindow::*command)())
{
    return [&w, command] { (w.*command)(); };
}

bool Allowed(CommandEnable enable, const RowCommandState &s)
{
    switch (enable) {
    case CommandEnable::Always: return true;
    case CommandEnable::Rest: return s.Rest;
    case CommandEnable::Property: return s.Property;
    case CommandEnable::Message: return s.Message;
    case CommandEnable::Wake: return s.Wake;
    case CommandEnable::Open: return s.Open;
    case CommandEnable::Align: return s.Align;
    }
    return true;
}

} // namespace

MainCommands::MainCommands(MainWindow &w)
    : window_(w)
{
    w.pmProp = new QMenu(&w);
    w.pmProp->setObjectName(QStringLiteral("pmProp"));
    QMenu **bar = nullptr;
    QMenu **stay = &submenus_[0], **view = &submenus_[1], **sort = &submenus_[2], **back = &submenus_[3],
          **tile = &submenus_[4];

    // In the order of the main menu; the pop-up keeps the same order for
    // the commands it shares with it.
    table_ = {
        {.Menu = Sub(bar, QT_TRANSLATE_NOOP("MainWindow", "ｳｲﾝﾄﾞｳ(&F)"), &w.mnWindow), .Name = QStringLiteral("mnWindow")},
        {.Menu = Sub(&w.mnWindow, QT_TRANSLATE_NOOP("MainWindow", "常駐(&S)"), stay)},
    };
    const char *stayCaptions[3] = {QT_TRANSLATE_NOOP("MainWindow", "ｱｲｺﾝ(&I)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "ﾀｽｸﾄﾚｲ(&T)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "ｱｲｺﾝ＋ﾀｽｸﾄﾚｲ(&Z)")};
    for (int i = 0; i < 3; ++i)
        table_.push_back({.Menu = Item(stay, stayCaptions[i], &w.mnStay[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] {
                              if (!WatchBusy)
                                  w.SetStayMode(StayMode::TaskbarIcon + i);
                              else
                                  w.mnStay[Settings.Krovan.ScreenMode - StayMode::TaskbarIcon]->setChecked(true);
                          }});
    table_.insert(table_.end(), {
        {.Menu = Item(&w.mnWindow, QT_TRANSLATE_NOOP("MainWindow", "終了"), &w.mnExit, Separated), .Shortcut = QKeySequence(Qt::ALT | Qt::Key_F4),
         .Handler = [&w] { w.close(); }},

        {.Menu = Sub(bar, QT_TRANSLATE_NOOP("MainWindow", "端末(&S)"), &w.mnTerminal), .Name = QStringLiteral("mnTerminal")},
        {.Menu = Item(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "お休み(&R)"), &w.mnRest), .Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "お休み(&H)"), &w.pmRest),
         .Enable = CommandEnable::Rest, .Handler = Run(w, &MainWindow::RestToggle)},
        {.Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "調査(&R)"), &w.pmCheck), .Handler = Run(w, &MainWindow::CheckNow)},

        {.Menu = Sub(bar, QT_TRANSLATE_NOOP("MainWindow", "表示(&V)"), &w.mnView), .Name = QStringLiteral("mnView")},
        {.Menu = Item(&w.mnView, QT_TRANSLATE_NOOP("MainWindow", "編集(&E)..."), &w.mnEdit), .Handler = Run(w, &MainWindow::pbSetupClick)},
        {.Menu = Sub(&w.mnView, QT_TRANSLATE_NOOP("MainWindow", "表示(&V)"), view, Separated)},
    });
    const char *viewCaptions[4] = {QT_TRANSLATE_NOOP("MainWindow", "大きいｱｲｺﾝ(&G)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "小さいｱｲｺﾝ(&M)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "一覧(&L)"), QT_TRANSLATE_NOOP("MainWindow", "詳細(&D)")};
    for (int i = 0; i < 4; ++i)
        table_.push_back({.Menu = Item(view, viewCaptions[i], &w.mnViewMode[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] {
                              if (!WatchBusy)
                                  w.SetViewMode(ListStyle::LargeIcons + i);
                              else
                                  w.mnViewMode[ListModeStyle(Settings.Krovan.ListMode)]->setChecked(true);
                          }});
    table_.push_back({.Menu = Sub(&w.mnView, QT_TRANSLATE_NOOP("MainWindow", "ソート(&S)"), sort)});
    const char *sortCaptions[11] = {QT_TRANSLATE_NOOP("MainWindow", "ﾕｰｻﾞｰ名(&1)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "ﾘｿｰｽ名(&2)"), QT_TRANSLATE_NOOP("MainWindow", "状態(&3)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&4)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "ﾛｸﾞｲﾝAction(&5)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "ﾛｸﾞｱｳﾄAction(&6)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&7)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "IP(&8)"), QT_TRANSLATE_NOOP("MainWindow", "IP調査(&9)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "Result(&A)"),
                                    QT_TRANSLATE_NOOP("MainWindow", "MAC(&B)")};
    for (int i = 0; i < 11; ++i)
        table_.push_back({.Menu = Item(sort, sortCaptions[i], &w.mnSort[i]), .Handler = [&w, i] { w.SortBy(i); }});
    table_.insert(table_.end(), {
        {.Menu = Item(sort, QT_TRANSLATE_NOOP("MainWindow", "ソートを元に戻す(&0)"), &w.mnSortRestore, Separated),
         .Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "ソートを元に戻す(&S)"), &w.pmSortRestore, Separated),
         .Handler = Run(w, &MainWindow::RestoreSortOrder)},
        {.Menu = Item(view, QT_TRANSLATE_NOOP("MainWindow", "列並びを元に戻す(&C)"), &w.mnRestoreColumns, Separated),
         .Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "列並びを元に戻す(&C)"), &w.pmRestoreColumns),
         .Handler = Run(w, &MainWindow::RestoreColumnOrder)},
        {.Menu = Item(view, QT_TRANSLATE_NOOP("MainWindow", "ｱｲｺﾝの固定(&F)"), &w.mnFixIcon), .Check = MainCommand::Checkable,
         .Handler = Run(w, &MainWindow::ToggleFixIcon)},
        {.Menu = Item(view, QT_TRANSLATE_NOOP("MainWindow", "ﾘﾌﾚｯｼｭ(&R)"), &w.mnRefresh), .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_R),
         .Handler = Run(w, &MainWindow::RefreshIcons)},

        {.Popup = Sub(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "位置合わせ(&A)"), &w.pmAlign)},
        {.Popup = Item(&w.pmAlign, QT_TRANSLATE_NOOP("MainWindow", "上を揃える(&V)"), &w.pmAlignTop), .Enable = CommandEnable::Align,
         .Handler = [&w] { w.AlignIcons(true); }},
        {.Popup = Item(&w.pmAlign, QT_TRANSLATE_NOOP("MainWindow", "左を揃える(&H)"), &w.pmAlignLeft), .Enable = CommandEnable::Align,
         .Handler = [&w] { w.AlignIcons(false); }},
        {.Popup = Item(&w.pmAlign, QT_TRANSLATE_NOOP("MainWindow", "均等に配置"), &w.pmArrange), .Handler = Run(w, &MainWindow::ArrangeIcons)},

        {.Menu = Item(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "ﾒｯｾｰｼﾞの送信(&M)..."), &w.mnSendMsg),
         .Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "ﾒｯｾｰｼﾞ送信(&M)..."), &w.pmSendMsg, Separated),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_M), .Enable = CommandEnable::Message,
         .Handler = Run(w, &MainWindow::SendMessage)},
        {.Menu = Sub(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "&WakeOnLan"), &w.mnWake), .Popup = Sub(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "&WakeOnLAN"), &w.pmWake),
         .Enable = CommandEnable::Wake},
        {.Menu = Item(&w.mnWake, QT_TRANSLATE_NOOP("MainWindow", "MACアドレスの取得(&M)"), &w.mnGetMAC),
         .Popup = Item(&w.pmWake, QT_TRANSLATE_NOOP("MainWindow", "MACアドレス取得(&M)"), &w.pmGetMAC), .Handler = Run(w, &MainWindow::GetMAC)},
        {.Menu = Item(&w.mnWake, QT_TRANSLATE_NOOP("MainWindow", "MACアドレスの消去(&C)"), &w.mnClearMAC),
         .Popup = Item(&w.pmWake, QT_TRANSLATE_NOOP("MainWindow", "MACアドレス消去(&C)"), &w.pmClearMAC), .Handler = Run(w, &MainWindow::ClearMAC)},
        {.Menu = Item(&w.mnWake, QT_TRANSLATE_NOOP("MainWindow", "起動(&W)"), &w.mnWakeUp), .Popup = Item(&w.pmWake, QT_TRANSLATE_NOOP("MainWindow", "起動(&W)"), &w.pmWakeUp),
         .Handler = Run(w, &MainWindow::WakeTerminal)},
        {.Menu = Sub(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "開く(&O)"), &w.mnOpen), .Popup = Sub(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "開く(&O)"), &w.pmOpen),
         .Enable = CommandEnable::Open},
        {.Menu = Item(&w.mnOpen, QT_TRANSLATE_NOOP("MainWindow", "エクスプローラで開く(&E)"), &w.mnExplorer),
         .Popup = Item(&w.pmOpen, QT_TRANSLATE_NOOP("MainWindow", "エクスプローラで開く(&E)"), &w.pmExplorer),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_E), .Handler = Run(w, &MainWindow::OpenExplorer)},
        {.Menu = Item(&w.mnOpen, QT_TRANSLATE_NOOP("MainWindow", "ブラウザで開く(&B)"), &w.mnBrowser),
         .Popup = Item(&w.pmOpen, QT_TRANSLATE_NOOP("MainWindow", "ブラウザで開く(&B)"), &w.pmBrowser),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_B), .Handler = Run(w, &MainWindow::OpenBrowser)},
        {.Menu = Item(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "ﾌﾟﾛﾊﾟﾃｨ(&P)..."), &w.mnProperty),
         .Popup = Item(&w.pmProp, QT_TRANSLATE_NOOP("MainWindow", "ﾌﾟﾛﾊﾟﾃｨ(&P)..."), &w.pmProperty, Separated), .Enable = CommandEnable::Property,
         .Handler = Run(w, &MainWindow::ShowProperties)},
        {.Menu = Item(&w.mnTerminal, QT_TRANSLATE_NOOP("MainWindow", "リスト保存(&S)"), &w.mnSaveList, Separated),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_S), .Handler = Run(w, &MainWindow::SaveListCommand)},

        {.Menu = Sub(&w.mnView, QT_TRANSLATE_NOOP("MainWindow", "背景(&B)"), back)},
        {.Menu = Item(back, QT_TRANSLATE_NOOP("MainWindow", "背景画像の選択(&S)..."), &w.mnBackSelect), .Handler = Run(w, &MainWindow::SelectBackground)},
        {.Menu = Item(back, QT_TRANSLATE_NOOP("MainWindow", "アイコンの文字背景を透過(&T)"), &w.mnBackTransparent), .Check = MainCommand::Checkable,
         .Handler = Run(w, &MainWindow::ToggleTransparent)},
        {.Menu = Item(back, QT_TRANSLATE_NOOP("MainWindow", "アイコンの文字色(&C)..."), &w.mnBackTextColor), .Handler = Run(w, &MainWindow::ChooseTextColor)},
        {.Menu = Sub(back, QT_TRANSLATE_NOOP("MainWindow", "表示形式(&P)"), tile)},
    });
    const char *tileCaptions[4] = {QT_TRANSLATE_NOOP("MainWindow", "中央(&C)"), QT_TRANSLATE_NOOP("MainWindow", "左上(&L)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "タイル(&T)"),
                                   QT_TRANSLATE_NOOP("MainWindow", "ウインドウに合わせる(&F)")};
    for (int i = 0; i < 4; ++i)
        table_.push_back({.Menu = Item(tile, tileCaptions[i], &w.mnTile[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] { w.SetTileMode(TilePlacement::Centred + i); }});
    table_.insert(table_.end(), {
        {.Menu = Item(back, QT_TRANSLATE_NOOP("MainWindow", "背景の消去(&E)"), &w.mnBackErase, Separated), .Handler = Run(w, &MainWindow::EraseBackground)},

        {.Menu = Sub(bar, QT_TRANSLATE_NOOP("MainWindow", "ﾍﾙﾌﾟ(&H)"), &w.mnHelp), .Name = QStringLiteral("mnHelp")},
        {.Menu = Item(&w.mnHelp, QT_TRANSLATE_NOOP("MainWindow", "ﾍﾙﾌﾟを開く(&O)"), &w.mnHelpOpen), .Handler = Run(w, &MainWindow::OpenHelp)},
        {.Menu = Item(&w.mnHelp, QT_TRANSLATE_NOOP("MainWindow", "ﾊﾞｰｼﾞｮﾝ情報(&V)..."), &w.mnVersion, Separated),
         .Handler = Run(w, &MainWindow::ShowVersion)},
    });

    for (MainCommand &command : table_) {
        Build(command, false);
        Build(command, true);
    }
}

void MainCommands::Build(MainCommand &command, bool popup)
{
    const MenuPlace &place = popup ? command.Popup : command.Menu;
    if (place.Caption.isEmpty())
        return;
    QMenu *in = place.In ? *place.In : nullptr;
    if (place.SeparatorBefore)
        in->addSeparator();
    QAction *&built = popup ? command.PopupAction : command.MenuAction;
    if (place.Submenu) {
        QMenu *menu = in ? in->addMenu(place.Caption) : window_.menuBar()->addMenu(place.Caption);
        menu->setObjectName(command.Name);
        *place.Submenu = menu;
        built = menu->menuAction();
        return;
    }
    // Radio items next to each other in a menu are one choice.
    QActionGroup *group = nullptr;
    if (command.Check == MainCommand::Radio) {
        if (!in->actions().isEmpty())
            group = in->actions().last()->actionGroup();
        if (!group)
            group = new QActionGroup(&window_);
    }
    built = in->addAction(place.Caption);
    if (place.Item)
        *place.Item = built;
    if (!command.Shortcut.isEmpty() && (popup || command.Popup.Caption.isEmpty())) {
        built->setShortcut(command.Shortcut);
        built->setShortcutContext(Qt::WindowShortcut);
        // The window keeps the pop-up's shortcut while the menu is closed.
        if (popup)
            window_.addAction(built);
    }
    built->setCheckable(command.Check != MainCommand::Plain);
    if (group)
        group->addAction(built);
    QObject::connect(built, &QAction::triggered, &window_, command.Handler);
}

void MainCommands::Enable(const RowCommandState &state)
{
    for (const MainCommand &command : table_) {
        if (command.Enable == CommandEnable::Always)
            continue;
        const bool on = Allowed(command.Enable, state);
        for (QAction *a : {command.MenuAction, command.PopupAction}) {
            if (a)
                a->setEnabled(on);
        }
    }
}
