// lumiveil targets: the catalogue of targets, with what each does and where that is known
// from.
#include <cstdio>

#include "app/cli/Cli.h"
#include "targets/Catalogue.h"

namespace {

int RunTargets(const TArgs& args) {
  if (!args.Positional().empty()) throw UsageError{"targets takes no arguments"};
  for (const TTarget& t : Targets()) {
    std::printf("%s\n  %s\n  does:   %s\n  source: %s\n", t.name, t.description,
                *t.recipe != '\0' ? t.recipe : "(keeps the file as uploaded)", t.source);
  }
  return kExitOk;
}

}  // namespace

const TCommand& TargetsCommand() {
  static const TCommand command = {
      "targets",
      "",
      "list the targets: sites and viewers that check knows, and its sources",
      {},
      "  (no arguments)\n"
      "\n"
      "Each target is printed with its one-line description, what it does as a recipe\n"
      "(see lumiveil help check) and where that is known from: the site's own code where it\n"
      "is public (repository, files, version or date), public reports for closed sites (as\n"
      "reported, with the date).\n",
      RunTargets};
  return command;
}
