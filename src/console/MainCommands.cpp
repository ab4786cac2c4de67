#include "console/MainCommands.h"

#include "service/flags/ProcessFlags.h"
#include "config/SettingValues.h"
#include "config/Settings.h"
#include "console/RowCommands.h"
#include "console/TfmMain.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace {

MenuPlace Item(QMenu **in, const char *caption, QAction **item, bool separatorBefore = false)
{
    return {in, QString::fromUtf8(caption), separatorBefore, item, nullptr};
}

MenuPlace Sub(QMenu **in, const char *caption, QMenu **submenu, bool separatorBefore = false)
{
    return {in, QString::fromUtf8(caption), separatorBefore, nullptr, submenu};
}

constexpr bool Separated = true;

std::function<void()> Run(TfmMain &w, void (TfmMain::*command)())
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

MainCommands::MainCommands(TfmMain &w)
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
        {.Menu = Sub(bar, "ｳｲﾝﾄﾞｳ(&F)", &w.mnWindow), .Name = QStringLiteral("mnWindow")},
        {.Menu = Sub(&w.mnWindow, "常駐(&S)", stay)},
    };
    const char *stayCaptions[3] = {"ｱｲｺﾝ(&I)", "ﾀｽｸﾄﾚｲ(&T)", "ｱｲｺﾝ＋ﾀｽｸﾄﾚｲ(&Z)"};
    for (int i = 0; i < 3; ++i)
        table_.push_back({.Menu = Item(stay, stayCaptions[i], &w.mnStay[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] {
                              if (!WatchBusy)
                                  w.SetStayMode(StayMode::TaskbarIcon + i);
                              else
                                  w.mnStay[Settings.Krovan.ScreenMode - StayMode::TaskbarIcon]->setChecked(true);
                          }});
    table_.insert(table_.end(), {
        {.Menu = Item(&w.mnWindow, "終了", &w.mnExit, Separated), .Shortcut = QKeySequence(Qt::ALT | Qt::Key_F4),
         .Handler = [&w] { w.close(); }},

        {.Menu = Sub(bar, "端末(&S)", &w.mnTerminal), .Name = QStringLiteral("mnTerminal")},
        {.Menu = Item(&w.mnTerminal, "お休み(&R)", &w.mnRest), .Popup = Item(&w.pmProp, "お休み(&H)", &w.pmRest),
         .Enable = CommandEnable::Rest, .Handler = Run(w, &TfmMain::RestToggle)},
        {.Popup = Item(&w.pmProp, "調査(&R)", &w.pmCheck), .Handler = Run(w, &TfmMain::CheckNow)},

        {.Menu = Sub(bar, "表示(&V)", &w.mnView), .Name = QStringLiteral("mnView")},
        {.Menu = Item(&w.mnView, "編集(&E)...", &w.mnEdit), .Handler = Run(w, &TfmMain::pbSetupClick)},
        {.Menu = Sub(&w.mnView, "表示(&V)", view, Separated)},
    });
    const char *viewCaptions[4] = {"大きいｱｲｺﾝ(&G)", "小さいｱｲｺﾝ(&M)", "一覧(&L)", "詳細(&D)"};
    for (int i = 0; i < 4; ++i)
        table_.push_back({.Menu = Item(view, viewCaptions[i], &w.mnViewMode[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] {
                              if (!WatchBusy)
                                  w.SetViewMode(ListStyle::LargeIcons + i);
                              else
                                  w.mnViewMode[ListModeStyle(Settings.Krovan.ListMode)]->setChecked(true);
                          }});
    table_.push_back({.Menu = Sub(&w.mnView, "ソート(&S)", sort)});
    const char *sortCaptions[11] = {"ﾕｰｻﾞｰ名(&1)", "ﾘｿｰｽ名(&2)", "状態(&3)", "ﾄﾞﾒｲﾝ/ﾜｰｸｸﾞﾙｰﾌﾟ(&4)",
                                    "ﾛｸﾞｲﾝAction(&5)", "ﾛｸﾞｱｳﾄAction(&6)", "ﾈｯﾄﾜｰｸﾌﾟﾛﾊﾞｲﾀﾞ(&7)", "IP(&8)",
                                    "IP調査(&9)", "Result(&A)", "MAC(&B)"};
    for (int i = 0; i < 11; ++i)
        table_.push_back({.Menu = Item(sort, sortCaptions[i], &w.mnSort[i]), .Handler = [&w, i] { w.SortBy(i); }});
    table_.insert(table_.end(), {
        {.Menu = Item(sort, "ソートを元に戻す(&0)", &w.mnSortRestore, Separated),
         .Popup = Item(&w.pmProp, "ソートを元に戻す(&S)", &w.pmSortRestore, Separated),
         .Handler = Run(w, &TfmMain::RestoreSortOrder)},
        {.Menu = Item(view, "列並びを元に戻す(&C)", &w.mnRestoreColumns, Separated),
         .Popup = Item(&w.pmProp, "列並びを元に戻す(&C)", &w.pmRestoreColumns),
         .Handler = Run(w, &TfmMain::RestoreColumnOrder)},
        {.Menu = Item(view, "ｱｲｺﾝの固定(&F)", &w.mnFixIcon), .Check = MainCommand::Checkable,
         .Handler = Run(w, &TfmMain::ToggleFixIcon)},
        {.Menu = Item(view, "ﾘﾌﾚｯｼｭ(&R)", &w.mnRefresh), .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_R),
         .Handler = Run(w, &TfmMain::RefreshIcons)},

        {.Popup = Sub(&w.pmProp, "位置合わせ(&A)", &w.pmAlign)},
        {.Popup = Item(&w.pmAlign, "上を揃える(&V)", &w.pmAlignTop), .Enable = CommandEnable::Align,
         .Handler = [&w] { w.AlignIcons(true); }},
        {.Popup = Item(&w.pmAlign, "左を揃える(&H)", &w.pmAlignLeft), .Enable = CommandEnable::Align,
         .Handler = [&w] { w.AlignIcons(false); }},
        {.Popup = Item(&w.pmAlign, "均等に配置", &w.pmArrange), .Handler = Run(w, &TfmMain::ArrangeIcons)},

        {.Menu = Item(&w.mnTerminal, "ﾒｯｾｰｼﾞの送信(&M)...", &w.mnSendMsg),
         .Popup = Item(&w.pmProp, "ﾒｯｾｰｼﾞ送信(&M)...", &w.pmSendMsg, Separated),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_M), .Enable = CommandEnable::Message,
         .Handler = Run(w, &TfmMain::SendMessage)},
        {.Menu = Sub(&w.mnTerminal, "&WakeOnLan", &w.mnWake), .Popup = Sub(&w.pmProp, "&WakeOnLAN", &w.pmWake),
         .Enable = CommandEnable::Wake},
        {.Menu = Item(&w.mnWake, "MACアドレスの取得(&M)", &w.mnGetMAC),
         .Popup = Item(&w.pmWake, "MACアドレス取得(&M)", &w.pmGetMAC), .Handler = Run(w, &TfmMain::GetMAC)},
        {.Menu = Item(&w.mnWake, "MACアドレスの消去(&C)", &w.mnClearMAC),
         .Popup = Item(&w.pmWake, "MACアドレス消去(&C)", &w.pmClearMAC), .Handler = Run(w, &TfmMain::ClearMAC)},
        {.Menu = Item(&w.mnWake, "起動(&W)", &w.mnWakeUp), .Popup = Item(&w.pmWake, "起動(&W)", &w.pmWakeUp),
         .Handler = Run(w, &TfmMain::WakeTerminal)},
        {.Menu = Sub(&w.mnTerminal, "開く(&O)", &w.mnOpen), .Popup = Sub(&w.pmProp, "開く(&O)", &w.pmOpen),
         .Enable = CommandEnable::Open},
        {.Menu = Item(&w.mnOpen, "エクスプローラで開く(&E)", &w.mnExplorer),
         .Popup = Item(&w.pmOpen, "エクスプローラで開く(&E)", &w.pmExplorer),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_E), .Handler = Run(w, &TfmMain::OpenExplorer)},
        {.Menu = Item(&w.mnOpen, "ブラウザで開く(&B)", &w.mnBrowser),
         .Popup = Item(&w.pmOpen, "ブラウザで開く(&B)", &w.pmBrowser),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_B), .Handler = Run(w, &TfmMain::OpenBrowser)},
        {.Menu = Item(&w.mnTerminal, "ﾌﾟﾛﾊﾟﾃｨ(&P)...", &w.mnProperty),
         .Popup = Item(&w.pmProp, "ﾌﾟﾛﾊﾟﾃｨ(&P)...", &w.pmProperty, Separated), .Enable = CommandEnable::Property,
         .Handler = Run(w, &TfmMain::ShowProperties)},
        {.Menu = Item(&w.mnTerminal, "リスト保存(&S)", &w.mnSaveList, Separated),
         .Shortcut = QKeySequence(Qt::CTRL | Qt::Key_S), .Handler = Run(w, &TfmMain::SaveListCommand)},

        {.Menu = Sub(&w.mnView, "背景(&B)", back)},
        {.Menu = Item(back, "背景画像の選択(&S)...", &w.mnBackSelect), .Handler = Run(w, &TfmMain::SelectBackground)},
        {.Menu = Item(back, "アイコンの文字背景を透過(&T)", &w.mnBackTransparent), .Check = MainCommand::Checkable,
         .Handler = Run(w, &TfmMain::ToggleTransparent)},
        {.Menu = Item(back, "アイコンの文字色(&C)...", &w.mnBackTextColor), .Handler = Run(w, &TfmMain::ChooseTextColor)},
        {.Menu = Sub(back, "表示形式(&P)", tile)},
    });
    const char *tileCaptions[4] = {"中央(&C)", "左上(&L)", "タイル(&T)", "ウインドウに合わせる(&F)"};
    for (int i = 0; i < 4; ++i)
        table_.push_back({.Menu = Item(tile, tileCaptions[i], &w.mnTile[i]), .Check = MainCommand::Radio,
                          .Handler = [&w, i] { w.SetTileMode(TilePlacement::Centred + i); }});
    table_.insert(table_.end(), {
        {.Menu = Item(back, "背景の消去(&E)", &w.mnBackErase, Separated), .Handler = Run(w, &TfmMain::EraseBackground)},

        {.Menu = Sub(bar, "ﾍﾙﾌﾟ(&H)", &w.mnHelp), .Name = QStringLiteral("mnHelp")},
        {.Menu = Item(&w.mnHelp, "ﾍﾙﾌﾟを開く(&O)", &w.mnHelpOpen), .Handler = Run(w, &TfmMain::OpenHelp)},
        {.Menu = Item(&w.mnHelp, "ﾊﾞｰｼﾞｮﾝ情報(&V)...", &w.mnVersion, Separated),
         .Handler = Run(w, &TfmMain::ShowVersion)},
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
