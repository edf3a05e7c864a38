// The catalogue of targets: places people post combined pictures to, each with what it does
// to an upload (a recipe, Recipe.h) and where that knowledge comes from. Sources are the
// places' own code where it is public (repository and files, with the version read) and
// public reports for closed sites ("as reported", with their date).
#pragma once

#include <span>
#include <string>

#include "targets/Recipe.h"

struct TTarget {
  const char* name;
  const char* description;  // one line
  const char* source;
  const char* recipe;  // what the place does (Recipe.h)
};

std::span<const TTarget> Targets();

// The catalogue's row of that name, or null.
const TTarget* FindTarget(const std::string& name);

// A target as a command names it: a row's name, or a recipe (whose name is the string
// itself). ETargetRecipe for a text that is neither.
struct TNamedTarget {
  std::string name;
  std::string description;
  std::string source;
  TTargetRecipe recipe;
};
TNamedTarget ResolveTarget(const std::string& text);
