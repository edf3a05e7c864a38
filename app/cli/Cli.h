// The command-line tool's shared parts: parsed arguments, exit codes, the picture loader
// and the command table.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/SaveByFormat.h"
#include "reveal/Band.h"

class TBitmap;
class TSPIs;

// Exit status: 0 done; 1 bad usage; 2 an input could not be read or recognised; 3 the
// work or the save failed.
enum ExitCode { kExitOk = 0, kExitUsage = 1, kExitInput = 2, kExitFailed = 3 };

// Raised for bad usage; main prints the message and the command's usage line.
struct UsageError {
  std::string message;
};

// Arguments after the command name: positionals, options with a value (--name value or
// --name=value) and flags (--name).
class TArgs {
 public:
  TArgs(const std::vector<std::string>& args, const std::vector<std::string>& value_options,
        const std::vector<std::string>& flags);
  const std::vector<std::string>& Positional() const { return positional_; }
  // The last value given for the option; Values: every value, in the order given.
  std::optional<std::string> Value(const std::string& name) const;
  std::vector<std::string> Values(const std::string& name) const;
  bool Flag(const std::string& name) const;
  // The option's value as an integer within [low, high]; UsageError otherwise.
  std::optional<int> Int(const std::string& name, int low, int high) const;

 private:
  std::vector<std::string> positional_;
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> flags_;
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
// a file that is missing, a folder or no regular file, that no reader takes (with what the
// loader learned), or that holds an empty picture.
std::unique_ptr<TBitmap> LoadInput(const std::string& file_name, std::string* reader = nullptr);

// LoadInput, then the picture converted to 24 bits (exit status 2 when it cannot be).
std::unique_ptr<TBitmap> LoadInput24(const std::string& file_name);

// A PSNR as the tool prints it: two decimals, "inf" for identical pictures.
std::string Decibels(double psnr);

// The format of an output file: PNG for a name ending in .png, GIF for one ending in .gif
// when the command writes GIF (gif_by_name), BMP for every other name (any case).
TSaveFormat OutputFormat(const std::string& file_name, bool gif_by_name);

// Ends a command with exit status 2 (an unreadable input). The message names the file
// and gives the loader's message with its English sense.
struct InputError {
  std::string message;
};

struct TCommand {
  const char* name;
  const char* usage;    // the synopsis after "lumiveil NAME"
  const char* summary;  // one line for the command list
  const char* help;     // the options, one per line
  int (*run)(const std::vector<std::string>& args);
};

const std::vector<TCommand>& Commands();

// The commands, each in its own file.
int RunConvert(const std::vector<std::string>& args);
int RunGif(const std::vector<std::string>& args);
int RunInfo(const std::vector<std::string>& args);
int RunResize(const std::vector<std::string>& args);
int RunSynth(const std::vector<std::string>& args);
int RunPlugins(const std::vector<std::string>& args);
int RunReveal(const std::vector<std::string>& args);
int RunTargets(const std::vector<std::string>& args);
int RunCheck(const std::vector<std::string>& args);

// CmdCheck.cpp: what each target does to a combined picture saved as `file` (the upload)
// whose pixels are `result`, one line each (or one JSON array) on `stream`; with a folder,
// the pictures after each target are written there. Visible and hidden may be null
// (estimated from the result); the band is given, else stored in the file, else found.
struct TCheckRequest {
  std::vector<std::string> targets;  // names or spec strings
  std::optional<TToneBand> band;
  std::string folder;  // empty: no pictures written
  bool json = false;
};
void RunChecks(const std::string& file, const TBitmap& result, const TBitmap* visible,
               const TBitmap* hidden, const TCheckRequest& request, std::FILE* stream);
// The targets named (catalogue names or spec strings); UsageError for any other text.
struct TNamedTarget;
std::vector<TNamedTarget> ResolveTargets(const std::vector<std::string>& texts);
// The help of check's output, shared with synth --check.
const char* CheckHelp();

// CmdReveal.cpp: the lines "visible-psnr: X" (with a visible picture) and "hidden-psnr: Y"
// (with a hidden picture) of the combined picture `result` made with `band`; each picture
// is first fitted to the result's size. With grey, the hidden score is the grey one.
void PrintScores(std::FILE* stream, const TBitmap& result, const TBitmap* visible,
                 const TBitmap* hidden, const TToneBand& band, bool grey = false);

// The gif command's options, with the words of the GIF library's enumerations.
const char* GifHelp();

// The tool's plug-in registry: made on first use, searching all six places.
TSPIs& Plugins();

// Names a pixel format as the tool prints it.
const char* PixelFormatName(int format);
