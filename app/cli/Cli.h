// The command-line tool's shared parts: parsed arguments, exit codes, the picture loader
// and the command table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/SaveByFormat.h"
#include "reveal/Band.h"
#include "susie/InSPIAble.h"

class TBitmap;
class TSPIs;

// The most memory the pictures of one run may hold at once (platform/PixelBudget.h), twice
// the limit of one picture's store: a batch of one run per processor core stays within the
// memory of an ordinary machine, and a few small files that describe huge pictures are
// refused before their memory is taken, while the main job still takes two photos of about
// 100 megapixels (a picture a plug-in reads counts four times while it is read), convert a
// picture of about 170, and any BMP file within the limit of one picture (read once).
constexpr uint64_t kRunPixelMemoryBound = uint64_t{2} << 30;

// Exit status: 0 done; 1 bad usage; 2 an input could not be read or recognised; 3 the
// work or the save failed.
enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitInput = 2, kExitFailed = 3 };

// Raised for bad usage; main prints the message and the command's usage line.
struct UsageError {
  std::string message;
};

// One argument of a command as its help lists it: a positional ("IN": a name without a
// leading dash) or an option ("--average", "-o") with the placeholder of its value (empty for
// a flag). The parser takes a command's options from the same list as its help, so the two
// cannot differ.
struct TOption {
  std::string name;
  std::string value;  // "A" for "--average A"; empty for a flag or a positional
  std::string help;   // its text: paragraphs separated by '\n', each wrapped in the help
  // Words listed under the text, each with its description (the views of --view).
  std::vector<std::pair<std::string, std::string>> list = {};
  bool IsOption() const { return !name.empty() && name[0] == '-'; }
};

// Arguments after the command name: positionals, options with a value (--name value or
// --name=value; -o value) and flags (--name), as the command's options declare them; "--"
// ends the options, and every argument after it is a positional.
class TArgs {
 public:
  TArgs(const std::vector<std::string>& args, const std::vector<TOption>& options);
  const std::vector<std::string>& Positional() const { return positional_; }
  // The last value given for the option; Values: every value, in the order given.
  std::optional<std::string> Value(const std::string& name) const;
  std::vector<std::string> Values(const std::string& name) const;
  bool Flag(const std::string& name) const;
  // The option's value as an integer within [low, high]; UsageError otherwise.
  std::optional<int> Int(const std::string& name, int low, int high) const;

 private:
  // Raises std::logic_error for a name the command did not declare (a fault of the tool,
  // which its tests meet).
  void CheckDeclared(const std::string& name, bool value) const;

  std::vector<std::string> positional_;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> flags_;
  std::vector<std::string> declared_values_, declared_flags_;
};

// A whole number written as digits with an optional minus sign (no blanks, no plus);
// nothing for any other text or a value beyond 64 bits.
std::optional<long long> WholeNumber(const std::string& text);

// An output file name as given; UsageError when it is empty. "-" is standard output.
const std::string& OutputName(const std::string& name);

// Loads a picture as the tool reads every input; `reader` receives the name of the reader
// or plug-in that read it. Raises on failure.
std::unique_ptr<TBitmap> LoadPicture(const std::string& file_name, std::string* reader = nullptr);

// Loads a picture or ends the command with exit status 2 and a message naming the file:
// a file that is missing or cannot be reached (with the system's reason), a folder or no
// regular file, that no reader takes (with what the loader learned), or that holds an
// empty picture. What the read learned beside (a file cut short) is printed as a note.
std::unique_ptr<TBitmap> LoadInput(const std::string& file_name, std::string* reader = nullptr);

// Two inputs read as LoadInput reads them, at the same time on two threads where a second
// can be had: their notes told in the order of the files, and where both fail, the first
// file's failure raised (as when they are read one after the other).
std::pair<std::unique_ptr<TBitmap>, std::unique_ptr<TBitmap>> LoadInputPair(
    const std::string& first, const std::string& second);

// The picture an input holds, from its headers alone where the reader can tell (the BMP
// reader, a plug-in's picture information), so that a file of a few kilobytes that
// describes a picture of gigabytes costs no more than its headers. Anything the headers
// do not settle is read as LoadInput reads it, with its messages and exit status.
TPictureDescription DescribeInput(const std::string& file_name, std::string* reader = nullptr);

// The format an output file name asks for (export/SaveByFormat.h): the GIF of the
// window's save only where the command saves the combined picture (`panel`).
// "PNG when it ends in .png, else BMP": the same, as the help says it.
std::string OutputFormatsHelp(bool panel);
// A format's endings as the help says them: ".png", ".jpg or .jpeg".
std::string EndingsText(const TOutputFormat& format);

// LoadInput, then the picture converted to 24 bits (exit status 2 when it cannot be).
std::unique_ptr<TBitmap> LoadInput24(const std::string& file_name);

// A PSNR as the tool prints it: two decimals, "inf" for identical pictures.
std::string Decibels(double psnr);

// Ends a command with exit status 2 (an unreadable input). The message names the file
// and gives the loader's message with its English sense.
struct InputError {
  std::string message;
};

// A command: its synopsis, summary, arguments with their help, and what follows them.
struct TCommand {
  const char* name;
  const char* usage;    // the synopsis after "lumiveil NAME"
  const char* summary;  // one line for the command list
  std::vector<TOption> arguments;
  std::string notes;  // text after the arguments (empty: none)
  int (*run)(const TArgs& args);
};

// The commands in the order of the tool's help (Cli.cpp); each is defined in its own file.
const std::vector<const TCommand*>& Commands();

// `lumiveil COMMAND --help`: usage, summary, the arguments with their help wrapped to the
// help's width, and the notes.
std::string CommandHelp(const TCommand& command);

// Text wrapped at word breaks to lines of at most kHelpWidth columns (a longer word stands
// alone): the first line from column `first` (what precedes it is the caller's), the
// following ones indented to column `indent`. Ends with a newline.
inline constexpr size_t kHelpWidth = 88;
std::string WrapText(const std::string& text, size_t first, size_t indent);

// CmdCheck.cpp: what each target does to a combined picture saved as `file` (the upload)
// whose pixels are `result`, one line each (or one JSON array) on `stream`; with a folder,
// the pictures after each target are written there. Visible and hidden may be null
// (estimated from the result); the band is given, else stored in the file, else found.
struct TCheckRequest {
  std::vector<std::string> targets;  // names or recipes
  std::optional<TToneBand> band;
  std::string folder;  // empty: no pictures written
  bool json = false;
};
void RunChecks(const std::string& file, const TBitmap& result, const TBitmap* visible,
               const TBitmap* hidden, const TCheckRequest& request, std::FILE* stream);
// The targets named (catalogue names or recipes); UsageError for any other text.
struct TNamedTarget;
std::vector<TNamedTarget> ResolveTargets(const std::vector<std::string>& texts);

// CmdReveal.cpp: the lines "visible-psnr: X" (with a visible picture) and "hidden-psnr: Y"
// (with a hidden picture) of the combined picture `result` made with `band`; each picture
// is first fitted to the result's size. With grey, the hidden score is the grey one.
void PrintScores(std::FILE* stream, const TBitmap& result, const TBitmap* visible,
                 const TBitmap* hidden, const TToneBand& band, bool grey = false);

// The tool's plug-in registry: made on first use, searching every place; what the
// search learned about a place it could not use is printed as a note.
TSPIs& Plugins();

// The name that messages and notes start with: "lumiveil", or "lumiveil COMMAND" once the
// command is known.
void SetCommandName(const std::string& name);
const std::string& CommandName();
// Prints "NAME: note: TEXT" on standard error: something a person should know about a run
// that still does its work.
void Note(const std::string& text);

// Names a pixel format as the tool prints it.
const char* PixelFormatName(int format);
