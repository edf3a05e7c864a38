// The window's command line: `--help` and `--version`, answered before a display is
// opened (so that they work without one), the start-up check `--quit-after-start`, and up
// to two picture files, loaded as the open dialog's answers are.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class TMainForm;

// The answer to --help or --version (-h too) among the raw arguments, before any "--";
// the text to print on standard output, or nothing when the window is to start.
std::optional<QString> EarlyAnswer(int argc, char** argv);

struct TWindowArguments {
  bool quit_after_start = false;
  QStringList files;  // the pictures given, in order
  QString error;      // a usage error (exit status 1), empty when the arguments are sound
};

// The arguments left after Qt has taken its own (QApplication::arguments()).
TWindowArguments ParseWindowArguments(const QStringList& arguments);

// Loads the first file as the visible picture and the second as the hidden picture,
// through the same calls as the two open commands. Returns notes for standard error: a
// file that was not loaded, and files beyond the second, which are ignored.
QStringList OpenCommandLineFiles(TMainForm& form, const QStringList& files);
