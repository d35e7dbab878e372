#pragma once

#include <QString>

#include <string>

// The two streams of the tool: standard output for the data asked for and
// nothing else, standard error for progress, prompts and messages.
namespace Console {

// A line on standard error, a newline added.
void message(const QString &line);
// Text on standard error as it is (a progress bar redraws its line).
void progress(const QString &text);
// Text on standard output, written whole; false when it could not be
// (a closed pipe, a full disk).
bool data(const QString &text);
bool data(const std::string &bytes);

bool stdoutIsTerminal();
bool stderrIsTerminal();

// Writes all of `bytes` to the descriptor, through interruptions and short
// writes; false on an error (errno tells which).
bool writeAll(int fd, const char *bytes, std::size_t size);

} // namespace Console
