#pragma once

// The numbers that settings keys hold, by name. The settings fields stay
// plain integers, since they are what the file holds (a value outside these
// is kept and handled as each key's rule says); these name the values the
// program acts on.

// [Krovan] ScreenMode: how the main window stays resident.
namespace StayMode {
inline constexpr int TaskbarIcon = 1;
inline constexpr int TrayIcon = 2;
inline constexpr int Both = 3;
// Set in the modes that keep a taskbar button (1 and 3).
inline constexpr int TaskbarBit = 1;
} // namespace StayMode

// [Krovan] ListMode: the view style of the main list.
namespace ListStyle {
inline constexpr int LargeIcons = 1;
inline constexpr int SmallIcons = 2;
inline constexpr int List = 3;
inline constexpr int Details = 4;
} // namespace ListStyle

// [Krovan] IconImageType selects the variant A, B or C of the first list
// image; OffIconImageType the variant A of the second.
namespace IconImageVariant {
inline constexpr int A = 1;
inline constexpr int B = 2;
inline constexpr int C = 3;
} // namespace IconImageVariant

// [Config] MessageLevel: how an event's notice is presented. Every level
// above IconAlert alerts as it does.
namespace NoticeLevel {
inline constexpr int Window = 0;
inline constexpr int Bar = 1;
inline constexpr int IconAlert = 2;
} // namespace NoticeLevel

// [Config] MessageSpeed: the message bar's speed; any other value moves as
// Medium does.
namespace BarSpeed {
inline constexpr int Slow = 0;
inline constexpr int Medium = 1;
inline constexpr int Fast = 2;
} // namespace BarSpeed

// [Config] BlinkIcon: which rows blink after an event.
namespace BlinkMode {
inline constexpr int None = 0;
inline constexpr int LoggedIn = 1;
inline constexpr int LoggedOut = 2;
} // namespace BlinkMode

// [AllLogin] and [AllLogout] Action: what follows an all-event after ActTime
// minutes. Shutdown is offered for all-logout only; any other value does
// nothing.
namespace AllEventAction {
inline constexpr int Nothing = 1;
inline constexpr int Shutdown = 2;
inline constexpr int RunProgram = 3;
} // namespace AllEventAction

// [Access] CheckLevel and ReportLevel: how deep the access check looks, and
// the depth at which something new counts as an access.
namespace AccessDepth {
inline constexpr int Sessions = 0;
inline constexpr int Connections = 1;
inline constexpr int Files = 2;
} // namespace AccessDepth

// [Background] TileMode: where the list's picture goes.
namespace TilePlacement {
inline constexpr int Centred = 1;
inline constexpr int TopLeft = 2;
inline constexpr int Tiled = 3;
inline constexpr int Stretched = 4;
} // namespace TilePlacement
