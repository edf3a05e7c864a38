#include "app/gui/CommandLine.h"

#include <cstring>

#include <QFileInfo>

#include "app/gui/MainForm.h"
#include "susie/Version.h"

namespace {

const char kHelp[] =
    "usage: lumiveil-maker [OPTION...] [VISIBLE [HIDDEN]]\n"
    "\n"
    "The window of Lumiveil Maker: hides one picture inside another.\n"
    "\n"
    "  VISIBLE             a picture loaded as the visible picture at start\n"
    "  HIDDEN              a picture loaded as the hidden picture, fitted to VISIBLE\n"
    "  -h, --help          print this help\n"
    "  --version           print the version and the plug-in API\n"
    "  --quit-after-start  close the window as soon as it is up (a start-up check)\n"
    "  --                  the arguments that follow are files, even if they start with -\n"
    "\n"
    "Qt's own options, such as -platform offscreen, are taken as well.\n";

}  // namespace

std::optional<QString> EarlyAnswer(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
      return QString::fromLatin1(kHelp);
    if (std::strcmp(argv[i], "--version") == 0)
      return QString::fromStdString(VersionText("lumiveil-maker"));
  }
  return std::nullopt;
}

TWindowArguments ParseWindowArguments(const QStringList& arguments) {
  TWindowArguments result;
  bool options = true;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (options && a == "--") {
      options = false;
    } else if (options && a == "--quit-after-start") {
      result.quit_after_start = true;
    } else if (options && a.startsWith('-') && a != "-") {
      result.error = "unknown option " + a + " (see lumiveil-maker --help)";
      return result;
    } else {
      result.files << a;
    }
  }
  return result;
}

QStringList OpenCommandLineFiles(TMainForm& form, const QStringList& files) {
  QStringList notes;
  // The open dialog hands over only files that exist; a missing one is a note here, so the
  // window meets exactly what the dialog could give it. An existing file that no reader
  // takes goes the dialog's way (the visible load ends silently; the hidden picture's fit
  // shows its failure as after a failed load from the dialog).
  const auto missing = [&](const QString& file) {
    if (QFileInfo::exists(file)) return false;
    notes << file + ": no such file";
    return true;
  };
  const bool visible = !files.isEmpty() && !missing(files[0]);
  const bool hidden = files.size() >= 2 && !missing(files[1]);
  if (visible && hidden) {
    // Both read at once (LoadStartFiles).
    const auto [visible_loaded, hidden_loaded] = form.LoadStartFiles(files[0], files[1]);
    if (!visible_loaded) notes << files[0] + ": not read as a picture";
    if (!hidden_loaded) notes << files[1] + ": not read as a picture";
  } else {
    if (visible && !form.LoadVisibleFile(files[0])) notes << files[0] + ": not read as a picture";
    if (hidden && !form.LoadHiddenFile(files[1])) notes << files[1] + ": not read as a picture";
  }
  // A file manager may hand over more files than the window has places for.
  for (qsizetype i = 2; i < files.size(); ++i)
    notes << files[i] + ": ignored (the window takes a visible and a hidden picture)";
  return notes;
}
