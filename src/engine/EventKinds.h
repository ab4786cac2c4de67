#pragma once

// The kinds of what an event reaches: notices, reports to the managers and
// records. Their numbers are the ones other installations and the settings
// know, so they never change: a notice kind is a slot of the notice table
// and of the message bar, a record kind picks a settings section.

enum class NoticeKind : int {
    Login = 0,
    Logout = 1,
    Error = 2, // watch error
    Access = 3,
    AllLogin = 4,
    AllLogout = 5,
};

// How many notice kinds there are: the slots of the notice table.
inline constexpr int NoticeKindCount = 6;

// Every notice kind, in slot order.
inline constexpr NoticeKind NoticeKinds[NoticeKindCount] = {
    NoticeKind::Login,  NoticeKind::Logout,   NoticeKind::Error,
    NoticeKind::Access, NoticeKind::AllLogin, NoticeKind::AllLogout,
};

// The notice kind's slot in a table of NoticeKindCount.
constexpr int Index(NoticeKind kind)
{
    return static_cast<int>(kind);
}

// The reports to the manager computers; each has its own closing text.
enum class ReportKind : int {
    Login = 1,
    Logout = 2,
    AllLogin = 3,
    AllLogout = 4,
    Access = 5,
};

// The record files' kinds: each has its own settings section, text header
// and XML element.
enum class RecordKind : int {
    Login = 0,
    Logout = 1,
    Access = 2,
};

// The all-login and all-logout notices: they show the event, not a list of
// terminals.
constexpr bool IsAllEvent(NoticeKind kind)
{
    return kind == NoticeKind::AllLogin || kind == NoticeKind::AllLogout;
}
