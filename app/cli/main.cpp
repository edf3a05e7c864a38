// lumiveil: the command-line tool. One command per run; see `lumiveil --help`.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "base/Exceptions.h"

namespace {

void PrintHelp() {
  std::printf(
      "lumiveil: hides one picture inside another, for scripts and batch work.\n\n"
      "usage: lumiveil COMMAND ...\n\ncommands:\n");
  for (const TCommand& c : Commands()) std::printf("  %-8s %s\n", c.name, c.summary);
  std::printf("\n`lumiveil COMMAND --help` describes a command's arguments and options.\n");
  std::printf(
      "\nenvironment:\n"
      "  LUMIVEIL_THREADS=N  the picture work runs on N threads (default: one per processor\n"
      "                      core); 1 runs it all on one thread, for tests and measurements.\n"
      "                      The output is the same for every N.\n");
}

void PrintCommandHelp(const TCommand& c) {
  std::printf("usage: lumiveil %s %s\n\n%s.\n\n%s", c.name, c.usage, c.summary, c.help);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintHelp();
    return argc < 2 ? kExitUsage : kExitOk;
  }
  const std::string name = argv[1];
  const TCommand* command = nullptr;
  for (const TCommand& c : Commands())
    if (name == c.name) command = &c;
  if (command == nullptr) {
    std::fprintf(stderr, "lumiveil: unknown command '%s' (see lumiveil --help)\n", name.c_str());
    return kExitUsage;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      PrintCommandHelp(*command);
      return kExitOk;
    }
  }
  try {
    return command->run(args);
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
