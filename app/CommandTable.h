#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// What the program knows about one command: its menu text (without the key
// name), its accelerators (the first is the one the menu shows) and its
// status-bar prompt with the tooltip after the line feed.
struct CommandInfo {
    int id = 0;
    QString text;
    QList<QKeySequence> shortcuts;
    QString prompt;

    // The status-bar line: the prompt up to the line feed.
    QString StatusTip() const { return prompt.section(QLatin1Char('\n'), 0, 0); }
    // The tooltip: the part after the line feed.
    QString ToolTip() const { return prompt.section(QLatin1Char('\n'), 1, 1); }
};

// The command table of the main window, in no particular order.
const QList<CommandInfo>& CommandTable();
// The entry for id; an entry with id 0 when there is none.
const CommandInfo& FindCommand(int id);

// The prompt of the recent-file entries and the idle text of the status bar.
inline constexpr const char* kRecentFilePrompt = "Open this document";
inline constexpr const char* kIdleMessage = "Ready";
