#pragma once

// The action primitives the events call: an entry's own action text, a sound,
// a program, the machine's shutdown. Every failure is silent to the event
// code: a sound that does not play or a program that does not start leaves
// the event's other actions to run, with one line in the journal.
//
// RunAction, PlaySoundFile and StartProgram are called from the watch worker
// as well as from the main thread; they keep no state of their own.

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

class ProcessStarter;
class SoundPlayer;
class SystemShutdown;

class EventActions {
public:
    // quitLoop ends the application's event loop before a shutdown is asked
    // for; empty means QCoreApplication::exit(0).
    EventActions(SoundPlayer &sound, ProcessStarter &process, SystemShutdown &shutdown,
                 std::function<void()> quitLoop = {});

    // An entry's login or logout action: a sound file when the text's first
    // comma-text item ends in ".wav" (any case), otherwise the whole text as a
    // command line. Always true.
    bool RunAction(const QString &text, bool wait);
    // The same with the entry's values for EntryTemplateLetters filled in.
    // The sound's item and the command's words are found in the operator's
    // text before any value goes in, so a value (a name the network gave)
    // never adds an argument or turns into one. A command that a value would
    // hand an option to is not run: one journal line, false.
    bool RunAction(const QString &action, const QStringList &values, bool wait);

    // wait true returns when the sound has ended (a system sound name is
    // tried before a file name); wait false returns at once and drops the
    // sound when an earlier one is still playing. Whether it played.
    bool PlaySoundFile(const QString &name, bool wait);

    // Starts the program the command line names, with the line's other words
    // as its arguments. No shell sees the line, so nothing in it (";", "$(",
    // backquotes) is more than an argument. An empty line starts nothing.
    void StartProgram(const QString &commandLine);

    // Whether this process may shut the machine down.
    bool EnableShutdownPrivilege();

    // Asks for a forced power-off and ends the event loop once it is
    // accepted; nothing is saved before. A refusal ends nothing: it is told
    // on standard error ("corvane: shutdown refused: REASON"), then refused
    // runs so that the caller can go on watching. The answer may come later,
    // from the event loop.
    void RequestShutdown(std::function<void()> refused = {});

private:
    void StartWords(QStringList words, const QString &commandLine);

    SoundPlayer &sound_;
    ProcessStarter &process_;
    SystemShutdown &shutdown_;
    std::function<void()> quitLoop_;
};

// The first item of a comma text: leading blanks and control characters are
// skipped; an item that starts with a double quote runs to its closing quote
// (two quotes inside stand for one); any other item ends before the first
// comma, blank or control character. Empty when there is none.
QString FirstCommaTextItem(QStringView text);

// The extension from the last "." on, compared without case, is ".WAV".
bool IsWaveFileName(QStringView name);

// The words of a command line: blanks separate them, double quotes group a
// word that holds blanks (and are removed).
QStringList SplitCommandLine(const QString &commandLine);
