// lumiveil: the command-line tool. One command per run; see `lumiveil --help`.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "base/Exceptions.h"
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
      "\n`lumiveil help COMMAND` or `lumiveil COMMAND --help` describes a command's arguments\n"
      "and options.\n");
  std::printf(
      "\nenvironment:\n"
      "  LUMIVEIL_THREADS=N  the picture work runs on N threads (default: one per processor\n"
      "                      core); 1 runs it all on one thread, for tests and measurements.\n"
      "                      The output is the same for every N.\n");
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

}  // namespace

int main(int argc, char** argv) {
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
    if (a == "--help" || a == "-h") {
      PrintCommandHelp(*command);
      return kExitOk;
    }
  }
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
