// What the entry point does before the window or the silent run takes over:
// reading the process's command line, setting up the log (the /LOG= file or
// the data folder's log), the language facts with a /LANG= override, the
// data folder with the extracted package, and the usage box.
//
// All of it runs on the main thread before any other thread exists.
#pragma once

#ifdef _WIN32
#include <string>

#include "app/CommandLine.h"
#include "config/LanguageManager.h"

// The process's command line, split by the system and parsed.
CommandLineOptions ReadProcessCommandLine();

// Names the log file: the /LOG= file when it can be written (a relative
// path is taken from the current folder; a folder gets "corvane_down.log"),
// else "corvane_down.log" in the data folder's "Log" folder. A command line
// with arguments is logged as the system passed it.
void InitRunLog(const CommandLineOptions& options);

// The system's language facts, with the /LANG= code in place of the user's
// UI language when given.
LanguageSystemFacts LanguageFactsFor(const CommandLineOptions& options);

// Prepares the data folder without a window: extracts the package there,
// loads the language and reads the custom tag. Returns the data folder.
std::wstring PrepareRunData(LanguageManager& languages);

// For /? and for a refused command line: the usage box in the user's (or
// the /LANG=) language, owned by no window. With /S nothing is shown and the
// refusal is only logged. Returns the exit code: kExit_Success after /?,
// kExit_BadCommandLine for a refused line and for /? with /S.
int ShowUsage(const CommandLineOptions& options);
#endif
