// lumiveil: the command-line tool. One command per run; see `lumiveil --help`.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "base/Bands.h"
#include "base/Exceptions.h"
#include "platform/PixelBudget.h"
#include "susie/Version.h"

namespace {

void PrintHelp() {
  std::printf(
      "lumiveil: hides one picture inside another, for scripts and batch work.\n\n"
      "usage: lumiveil COMMAND ...\n\ncommands:\n");
  for (const TCommand* c : Commands()) std::printf("  %-8s %s\n", c->name, c->summary);
  std::printf(
      "\noptions:\n"
      "  -h, --help  print this help\n"
      "  --version   print the version and the plug-in API\n"
      "  --          after the command: the end of the options; every argument after it is\n"
      "              taken as a file name, even one that starts with -\n"
      "\n`lumiveil help COMMAND` or `lumiveil COMMAND --help` describes a command's arguments\n"
      "and options.\n");
  std::printf(
      "\nenvironment:\n"
      "  LUMIVEIL_THREADS=N  the picture work runs on N threads (default: one per processor\n"
      "                      core); 1 runs it all on one thread, for tests and measurements.\n"
      "                      The output is the same for every N. Any other value is told\n"
      "                      in a note, and the default used.\n");
  std::printf(
      "\nlimits (a picture beyond them is refused before its memory is taken, exit 2):\n"
      "  one picture      its pixels at most 1 GiB (about 357 megapixels at 24 bits per\n"
      "                   pixel); its file at most 2049 MiB\n"
      "  one run          its pictures at most 2 GiB at once, so that one run per processor\n"
      "                   core fits an ordinary machine and a few small files that claim\n"
      "                   huge pictures cannot make a run take more. While a plug-in reads\n"
      "                   a picture, four times the picture at 24 bits is set aside (the\n"
      "                   plug-in's copy, its working memory, ours): synth takes pairs of\n"
      "                   about 100 megapixels, convert pictures of about 170; a BMP file\n"
      "                   counts once, so any BMP file within the limit of one picture can\n"
      "                   be converted\n"
      "  JPEG scans       at most 100: encoders write 6 (grey) to 10 (colour) or a few dozen,\n"
      "                   and each scan is a pass over every block of the picture, so a file\n"
      "                   of thousands of empty scans would take minutes\n");
}

void PrintCommandHelp(const TCommand& c) {
  std::fputs(CommandHelp(c).c_str(), stdout);
}

const TCommand* FindCommand(const std::string& name) {
  for (const TCommand* c : Commands())
    if (name == c->name) return c;
  return nullptr;
}

int UnknownCommand(const std::string& name) {
  std::fprintf(stderr, "lumiveil: unknown command '%s' (see lumiveil --help)\n", name.c_str());
  return kExitUsage;
}

// `lumiveil help [COMMAND]`: the same as `lumiveil --help` or `lumiveil COMMAND --help`.
int RunHelp(int argc, char** argv) {
  if (argc == 2) {
    PrintHelp();
    return kExitOk;
  }
  if (argc > 3) {
    std::fprintf(stderr, "lumiveil help: one command at most\nusage: lumiveil help [COMMAND]\n");
    return kExitUsage;
  }
  const TCommand* command = FindCommand(argv[2]);
  if (command == nullptr) return UnknownCommand(argv[2]);
  PrintCommandHelp(*command);
  return kExitOk;
}

// Standard output and error are closed as Debian's own tools close them: text that could
// not be written (a full disk, a closed terminal) fails the run with exit status 3 and
// one message, where it would otherwise pass for success. A run that failed already keeps
// its status.
int CloseStandardStreams(int status) {
  // What is still buffered is written first: its failure is the one to tell. A standard
  // output the caller closed (>&-) is no failure while nothing was written to it.
  errno = 0;
  bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  int error = errno;
  if (std::fclose(stdout) != 0 && errno != EBADF && !failed) {
    failed = true;
    error = errno;
  }
  if (failed) {
    std::fprintf(stderr, "%s: write error on standard output%s%s\n", CommandName().c_str(),
                 error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
    if (status == kExitOk) status = kExitFailed;
  }
  // Standard error is unbuffered: a failure to write it shows here, and nowhere else.
  if ((std::ferror(stderr) != 0 || std::fflush(stderr) != 0) && status == kExitOk)
    status = kExitFailed;
  return status;
}

int Run(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string name = argv[1];
  if (name == "--version") {
    std::fputs(VersionText("lumiveil").c_str(), stdout);
    return kExitOk;
  }
  if (name == "help") return RunHelp(argc, argv);
  const TCommand* command = FindCommand(name);
  if (command == nullptr) return UnknownCommand(name);
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string& a : args) {
    if (a == "--") break;  // a file may be named --help after it
    if (a == "--help" || a == "-h") {
      PrintCommandHelp(*command);
      return kExitOk;
    }
  }
  SetCommandName(std::string("lumiveil ") + command->name);
  SetPixelMemoryBound(kRunPixelMemoryBound);
  if (const auto note = BandThreadsNote()) Note(*note);
  try {
    return command->run(TArgs(args, command->arguments));
  } catch (const UsageError& e) {
    std::fprintf(stderr, "lumiveil %s: %s\nusage: lumiveil %s %s\n", command->name,
                 e.message.c_str(), command->name, command->usage);
    return kExitUsage;
  } catch (const InputError& e) {
    std::fprintf(stderr, "lumiveil %s: %s\n", command->name, e.message.c_str());
    return kExitInput;
  } catch (const Exception& e) {
    // A Japanese message is followed by its English sense in brackets, then by what the
    // failing code learned.
    std::fprintf(stderr, "lumiveil %s: %s\n", command->name, e.FullMessage().c_str());
    return kExitFailed;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lumiveil %s: %s\n", command->name, e.what());
    return kExitFailed;
  }
}

}  // namespace

int main(int argc, char** argv) {
  return CloseStandardStreams(Run(argc, argv));
}
