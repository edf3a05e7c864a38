#include "app/cli/Cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <stdexcept>
#include <system_error>

#include "base/Bands.h"
#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Text.h"
#include "raster/Bitmap.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"

TArgs::TArgs(const std::vector<std::string>& args, const std::vector<TOption>& options) {
  for (const TOption& o : options)
    if (o.IsOption()) (o.value.empty() ? declared_flags_ : declared_values_).push_back(o.name);
  const auto is = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--") {
      // The end of the options: what follows is taken as it stands, so that a file named
      // "--gif" or "-o" can be given.
      positional_.insert(positional_.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
      break;
    }
    if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
      const size_t eq = a.find('=');
      const std::string name = a.substr(0, eq);
      if (is(declared_values_, name)) {
        if (eq != std::string::npos) {
          values_[name].push_back(a.substr(eq + 1));
        } else {
          if (i + 1 >= args.size()) throw UsageError{"option " + name + " needs a value"};
          values_[name].push_back(args[++i]);
        }
      } else if (is(declared_flags_, name) && eq == std::string::npos) {
        flags_.push_back(name);
      } else {
        throw UsageError{"unknown option " + a};
      }
    } else if (a == "-o" && is(declared_values_, "-o")) {
      if (i + 1 >= args.size()) throw UsageError{"option -o needs a file name"};
      values_["-o"].push_back(args[++i]);
    } else {
      positional_.push_back(a);
    }
  }
}

void TArgs::CheckDeclared(const std::string& name, bool value) const {
  const std::vector<std::string>& declared = value ? declared_values_ : declared_flags_;
  if (std::find(declared.begin(), declared.end(), name) == declared.end())
    throw std::logic_error("the command asks for " + name + ", which it does not declare");
}

std::optional<std::string> TArgs::Value(const std::string& name) const {
  CheckDeclared(name, true);
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> TArgs::Values(const std::string& name) const {
  CheckDeclared(name, true);
  const auto it = values_.find(name);
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

bool TArgs::Flag(const std::string& name) const {
  CheckDeclared(name, false);
  return std::find(flags_.begin(), flags_.end(), name) != flags_.end();
}

std::optional<int> TArgs::Int(const std::string& name, int low, int high) const {
  const auto text = Value(name);
  if (!text) return std::nullopt;
  const auto value = WholeNumber(*text);
  if (!value || *value < low || *value > high)
    throw UsageError{Format("%s must be a whole number from %d to %d, not '%s'", name.c_str(), low,
                            high, text->c_str())};
  return static_cast<int>(*value);
}

std::optional<long long> WholeNumber(const std::string& text) {
  // Digits with an optional minus sign and nothing else: strtol alone would also take
  // leading blanks and a plus sign, which a person typing " 7" did not mean as a number.
  const size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
  if (first == text.size()) return std::nullopt;
  for (size_t i = first; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0) return std::nullopt;
  return value;
}

const std::string& OutputName(const std::string& name) {
  if (name.empty()) throw UsageError{"the output file name is empty"};
  return name;
}

namespace {
std::string g_command = "lumiveil";
}  // namespace

void SetCommandName(const std::string& name) {
  g_command = name;
}

const std::string& CommandName() {
  return g_command;
}

void Note(const std::string& text) {
  std::fprintf(stderr, "%s: note: %s\n", g_command.c_str(), text.c_str());
}

TSPIs& Plugins() {
  // Searched once, in all six places; the plug-in folder beside the program holds the
  // shipped plug-ins. A place that could not be used is told once.
  static TSPIs plugins;
  static const bool searched = [] {
    plugins.SearchOptions = TSPISearchOptions::All();
    plugins.Loaded();
    for (const std::string& note : plugins.Notes()) Note(note);
    return true;
  }();
  (void)searched;
  return plugins;
}

namespace {

// The reader as the tool names it: the BMP reader, or the plug-in with its description.
std::string ReaderName(const std::string& by) {
  if (by.empty()) return "BMP reader";
  std::string name = "plug-in " + by;
  TSPIs& plugins = Plugins();
  const int index = plugins.IndexOfSPIName(by);
  if (index >= 0) name += " (" + plugins.GetPlugins(index).Description() + ")";
  return name;
}

// What a read learned beside the picture, one note each, naming the file.
void NoteEach(const std::string& file_name, const std::vector<std::string>& notes) {
  for (const std::string& note : notes) Note(file_name + ": " + note);
}

// An input is a regular file that can be reached; the system's reason when it cannot.
void CheckInputFile(const std::string& file_name) {
  struct stat st {};
  if (stat(file_name.c_str(), &st) != 0) {
    if (errno == ENOENT) throw InputError{file_name + ": no such file"};
    throw InputError{file_name + ": " + std::strerror(errno)};
  }
  if (S_ISDIR(st.st_mode)) throw InputError{file_name + ": is a directory, not a picture file"};
  if (!S_ISREG(st.st_mode)) throw InputError{file_name + ": is not a regular file"};
}

}  // namespace

namespace {

// LoadPicture's read, what it learned beside the picture kept in `notes`.
std::unique_ptr<TBitmap> ReadPicture(const std::string& file_name, std::string* reader,
                                     std::vector<std::string>& notes) {
  Plugins();
  auto bitmap = std::make_unique<TSPIBitmap>();
  bitmap->LoadFromFile(file_name);
  if (reader) *reader = ReaderName(bitmap->LoadedBy());
  notes = bitmap->LoadNotes();
  return bitmap;
}

// LoadInput's read, its notes kept in `notes` for TakeInput to tell.
std::unique_ptr<TBitmap> ReadInput(const std::string& file_name, std::string* reader,
                                   std::vector<std::string>& notes) {
  CheckInputFile(file_name);
  try {
    return ReadPicture(file_name, reader, notes);
  } catch (const Exception& e) {
    throw InputError{file_name + ": " + e.FullMessage()};
  }
}

// Tells what the read learned beside the picture and takes the picture as an input.
std::unique_ptr<TBitmap> TakeInput(const std::string& file_name, std::unique_ptr<TBitmap> picture,
                                   const std::vector<std::string>& notes) {
  NoteEach(file_name, notes);
  // The BMP reader makes an empty picture of an empty file; for the tool that is no input,
  // since whatever it wrote from it would be empty too.
  if (picture->Empty()) throw InputError{file_name + ": holds no picture: the file is empty"};
  return picture;
}

}  // namespace

std::unique_ptr<TBitmap> LoadPicture(const std::string& file_name, std::string* reader) {
  std::vector<std::string> notes;
  auto bitmap = ReadPicture(file_name, reader, notes);
  NoteEach(file_name, notes);
  return bitmap;
}

TPictureDescription DescribeInput(const std::string& file_name, std::string* reader) {
  CheckInputFile(file_name);
  Plugins();
  TSPIBitmap bitmap;
  try {
    TPictureDescription description = bitmap.Describe(file_name);
    if (description.Width > 0 && description.Height > 0) {
      if (reader) *reader = ReaderName(description.ReadBy);
      NoteEach(file_name, bitmap.LoadNotes());
      return description;
    }
  } catch (const Exception&) {
    // Told below by the whole read, which knows every reason (a plug-in whose picture
    // information fails may still read the picture).
  }
  const auto picture = LoadInput(file_name, reader);
  TPictureDescription description;
  description.Width = picture->Width();
  description.Height = picture->Height();
  description.Format = picture->PixelFormat();
  return description;
}

std::unique_ptr<TBitmap> LoadInput(const std::string& file_name, std::string* reader) {
  std::vector<std::string> notes;
  auto picture = ReadInput(file_name, reader, notes);
  return TakeInput(file_name, std::move(picture), notes);
}

std::pair<std::unique_ptr<TBitmap>, std::unique_ptr<TBitmap>> LoadInputPair(
    const std::string& first, const std::string& second) {
  Plugins();  // searched once, before either thread asks for it
  std::vector<std::string> first_notes, second_notes;
  std::future<std::unique_ptr<TBitmap>> reading;
  try {
    // One thread asked for (LUMIVEIL_THREADS=1): the files are read in turn.
    if (BandThreads() > 1)
      reading =
          std::async(std::launch::async, [&] { return ReadInput(second, nullptr, second_notes); });
  } catch (const std::system_error&) {
    // No second thread to be had: the second file is read after the first.
  }
  std::unique_ptr<TBitmap> one;
  try {
    one = TakeInput(first, ReadInput(first, nullptr, first_notes), first_notes);
  } catch (...) {
    // The first file's failure is the one told, as when the files are read in turn; the
    // second's read is waited for and dropped, notes and all.
    if (reading.valid()) reading.wait();
    throw;
  }
  auto two = reading.valid() ? reading.get() : ReadInput(second, nullptr, second_notes);
  return {std::move(one), TakeInput(second, std::move(two), second_notes)};
}

std::unique_ptr<TBitmap> LoadInput24(const std::string& file_name) {
  auto picture = LoadInput(file_name);
  try {
    picture->SetPixelFormat(TPixelFormat::Bits24);
  } catch (const std::exception& e) {
    throw InputError{file_name + ": cannot be converted to 24 bits per pixel (" + e.what() + ")"};
  }
  if (picture->Empty()) throw InputError{file_name + ": the picture is empty"};
  return picture;
}

std::string Decibels(double psnr) {
  if (std::isinf(psnr)) return "inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", psnr);
  return text;
}

std::string EndingsText(const TOutputFormat& format) {
  std::string endings;
  for (const std::string& ending : EndingsOf(format))
    endings += (endings.empty() ? "" : " or ") + ending;
  return endings;
}

std::string OutputFormatsHelp(bool panel) {
  const TOutputFormat& other = OutputFormatOf(FormatForName("", panel));
  std::string text;
  for (const TOutputFormat& format : OutputFormats()) {
    if (&format == &other || (format.panel && !panel)) continue;
    text += std::string(format.name) + " when it ends in " + EndingsText(format) + ", ";
  }
  return text.empty() ? other.name : text + "else " + other.name;
}

const char* PixelFormatName(int format) {
  static const char* const kNames[] = {"Device", "Bits1",  "Bits4",  "Bits8", "Bits15",
                                       "Bits16", "Bits24", "Bits32", "Custom"};
  return format >= 0 && format < 9 ? kNames[format] : "?";
}

std::string WrapText(const std::string& text, size_t first, size_t indent) {
  std::string lines;
  size_t column = first;
  bool line_empty = true;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find_first_of(" \n", start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!word.empty()) {
      if (!line_empty && column + 1 + word.size() > kHelpWidth) {
        lines += "\n" + std::string(indent, ' ');
        column = indent;
        line_empty = true;
      }
      if (!line_empty) lines += ' ', ++column;
      lines += word;
      column += word.size();
      line_empty = false;
    }
    if (end < text.size() && text[end] == '\n') {  // a new paragraph on a line of its own
      lines += "\n" + std::string(indent, ' ');
      column = indent;
      line_empty = true;
    }
    start = end + 1;
  }
  return lines + "\n";
}

std::string CommandHelp(const TCommand& c) {
  std::string help =
      std::string("usage: lumiveil ") + c.name + " " + c.usage + "\n\n" + c.summary + ".\n\n";
  // The texts start in one column, two beyond the longest label that is not too long; a
  // label longer than that has its text start on the next line.
  constexpr size_t kLabelMax = 14;
  size_t column = 0;
  for (const TOption& o : c.arguments) {
    const size_t label = o.name.size() + (o.value.empty() ? 0 : 1 + o.value.size());
    if (label <= kLabelMax) column = std::max(column, label);
  }
  column += 2 + 2;
  for (const TOption& o : c.arguments) {
    std::string label = "  " + o.name + (o.value.empty() ? "" : " " + o.value);
    if (label.size() + 1 > column)
      label += "\n" + std::string(column, ' ');
    else
      label.resize(column, ' ');
    help += label + WrapText(o.help, column, column);
    // The list: its words in a column of their own, their descriptions beside them.
    size_t word = 0;
    for (const auto& [w, description] : o.list) word = std::max(word, w.size());
    for (const auto& [w, description] : o.list) {
      std::string line = std::string(column + 2, ' ') + w;
      line.resize(column + 2 + word + 3, ' ');
      help += line + WrapText(description, line.size(), line.size());
    }
  }
  if (!c.notes.empty()) help += "\n" + c.notes;
  return help;
}

const TCommand& ConvertCommand();
const TCommand& GifCommand();
const TCommand& InfoCommand();
const TCommand& PluginsCommand();
const TCommand& ResizeCommand();
const TCommand& RevealCommand();
const TCommand& SynthCommand();
const TCommand& TargetsCommand();
const TCommand& CheckCommand();

const std::vector<const TCommand*>& Commands() {
  static const std::vector<const TCommand*> commands = {
      &ConvertCommand(), &GifCommand(),     &InfoCommand(),  &ResizeCommand(),  &SynthCommand(),
      &RevealCommand(),  &TargetsCommand(), &CheckCommand(), &PluginsCommand(),
  };
  return commands;
}
