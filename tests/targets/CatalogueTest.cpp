// The catalogue: at least ten rows, each with a unique plain name, a description, a source
// and a recipe that parses; names resolve to their rows and anything else is read as a recipe.
#include <gtest/gtest.h>

#include <set>

#include "targets/Catalogue.h"

namespace {

TEST(Catalogue, HoldsTenOrMoreRowsEachNamedDescribedSourcedAndParsed) {
  EXPECT_GE(Targets().size(), 10u);
  std::set<std::string> names;
  for (const TTarget& t : Targets()) {
    SCOPED_TRACE(t.name);
    EXPECT_TRUE(names.insert(t.name).second) << "twice";
    EXPECT_EQ(std::string(t.name).find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"),
              std::string::npos);
    EXPECT_GT(std::string(t.description).size(), 20u);
    EXPECT_GT(std::string(t.source).size(), 20u);
    EXPECT_NO_THROW(ParseTargetRecipe(t.recipe));
    // A name is never also a recipe, so that either reading is unambiguous.
    EXPECT_THROW(ParseTargetRecipe(t.name), ETargetRecipe);
  }
}

TEST(Catalogue, ResolvesNamesToRowsAndOtherTextsAsRecipes) {
  const TNamedTarget row = ResolveTarget("jpeg85");
  EXPECT_EQ(row.name, "jpeg85");
  EXPECT_EQ(RecipeText(row.recipe), "jpeg:85:420");
  const TNamedTarget recipe = ResolveTarget("jpeg:85:444|fit:10x10:point");
  EXPECT_EQ(recipe.name, "jpeg:85:444|fit:10x10:point");
  EXPECT_TRUE(recipe.recipe.thumbnail);
  EXPECT_THROW(ResolveTarget("nowhere"), ETargetRecipe);
  EXPECT_EQ(FindTarget("nowhere"), nullptr);
}

}  // namespace
