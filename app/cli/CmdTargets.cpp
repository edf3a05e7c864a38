// lumiveil targets: the catalogue of targets, with what each does and where that is known
// from.
#include <cstdio>

#include "app/cli/Cli.h"
#include "targets/Catalogue.h"

int RunTargets(const std::vector<std::string>& argv) {
  const TArgs args(argv, {}, {});
  if (!args.Positional().empty()) throw UsageError{"targets takes no arguments"};
  for (const TTarget& t : Targets()) {
    std::printf("%s\n  %s\n  does:   %s\n  source: %s\n", t.name, t.description,
                *t.spec != '\0' ? t.spec : "(keeps the file as uploaded)", t.source);
  }
  return kExitOk;
}
