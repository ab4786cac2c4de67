#include "events/EventActions.h"

#include "engine/ExpandTemplate.h"

#include "platform/Journal.h"
#include "platform/ProcessStarter.h"
#include "platform/SoundPlayer.h"
#include "platform/SystemShutdown.h"

#include <QCoreApplication>
#include <QProcess>

namespace {

// Blanks and control characters, as the comma-text reader skips them; a NUL
// ends the text.
bool isBlank(QChar c) { return c.unicode() >= 1 && c.unicode() <= 0x20; }

} // namespace

QString FirstCommaTextItem(QStringView text)
{
    qsizetype end = text.indexOf(QChar(0));
    if (end >= 0)
        text = text.left(end);
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i == text.size())
        return {};
    QString item;
    if (text[i] == QLatin1Char('"')) {
        // A quoted item: "" inside stands for one quote; an item without its
        // closing quote runs to the end of the text.
        for (++i; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    item += QLatin1Char('"');
                    ++i;
                } else {
                    break;
                }
            } else {
                item += text[i];
            }
        }
        return item;
    }
    const qsizetype start = i;
    while (i < text.size() && !isBlank(text[i]) && text[i] != QLatin1Char(','))
        ++i;
    return text.mid(start, i - start).toString();
}

bool IsWaveFileName(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && name.mid(dot).compare(QLatin1String(".WAV"), Qt::CaseInsensitive) == 0;
}

QStringList SplitCommandLine(const QString &commandLine)
{
    return QProcess::splitCommand(commandLine);
}

EventActions::EventActions(SoundPlayer &sound, ProcessStarter &process, SystemShutdown &shutdown,
                           std::function<void()> quitLoop)
    : sound_(sound), process_(process), shutdown_(shutdown), quitLoop_(std::move(quitLoop))
{
    if (!quitLoop_)
        quitLoop_ = [] { QCoreApplication::exit(0); };
}

bool EventActions::RunAction(const QString &text, bool wait)
{
    const QString item = FirstCommaTextItem(text);
    if (IsWaveFileName(item))
        PlaySoundFile(item, wait);
    else
        StartProgram(text);
    return true;
}

bool EventActions::RunAction(const QString &action, const QStringList &values, bool wait)
{
    if (!action.contains(u'%'))
        return RunAction(action, wait);
    const QString item = ExpandTemplate(FirstCommaTextItem(action), EntryTemplateLetters, values);
    if (IsWaveFileName(item)) {
        PlaySoundFile(item, wait);
        return true;
    }
    QString refused;
    QStringList words = ExpandCommandWords(action, EntryTemplateLetters, values, &refused);
    if (!refused.isEmpty()) {
        JournalLine(JournalPriority::Warning, "action not run, a value would be an option",
                    action + QStringLiteral(" -> ") + refused);
        return false;
    }
    StartWords(std::move(words), action);
    return true;
}

bool EventActions::PlaySoundFile(const QString &name, bool wait)
{
    const bool played = sound_.Play(name, wait);
    if (!played)
        JournalLine(JournalPriority::Warning, "sound not played", name);
    return played;
}

void EventActions::StartProgram(const QString &commandLine)
{
    StartWords(SplitCommandLine(commandLine), commandLine);
}

void EventActions::StartWords(QStringList words, const QString &commandLine)
{
    if (words.isEmpty())
        return;
    const QString program = words.takeFirst();
    if (!process_.Start(program, words))
        JournalLine(JournalPriority::Warning, "program not started", commandLine);
}

bool EventActions::EnableShutdownPrivilege()
{
    return shutdown_.CanPowerOff();
}

void EventActions::RequestShutdown(std::function<void()> refused)
{
    // Copies, not this: the answer may come when these actions are gone.
    shutdown_.PowerOff([quit = quitLoop_, refused = std::move(refused)](bool accepted, const QString &reason) {
        if (accepted) {
            quit();
            return;
        }
        JournalLine(JournalPriority::Warning, "shutdown refused", reason);
        if (refused)
            refused();
    });
}
