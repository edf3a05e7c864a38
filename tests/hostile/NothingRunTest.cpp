// Nothing run: a plug-in is code, loaded only from places that the user or root alone may
// change. A library whose code runs as it is loaded, put where others may write, never
// runs, and `lumiveil plugins` names it with the reason.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/hostile/HostileSupport.h"

namespace fs = std::filesystem;

namespace {

std::string ConstructorPlugin() {
  return std::string(LUMIVEIL_TEST_PLUGINS) + "/loadtime/tp_constructor.spi";
}

// A fresh place for one case: the plug-in folder (the current directory of the run), the
// file the plug-in's load-time code would make, and an empty configuration folder, so that
// no user setting adds a place.
struct Place {
  TempDir dir;
  std::string folder = dir.File("plugins");
  std::string plugin = folder + "/tp_constructor.spi";
  std::string marker = dir.File("constructor-ran");

  Place() {
    fs::create_directory(folder);
    fs::create_directory(dir.File("config"));
    fs::permissions(folder, fs::perms(0755));
    fs::copy_file(ConstructorPlugin(), plugin);
    fs::permissions(plugin, fs::perms(0644));
  }
  ToolRun ListPlugins() const {
    return RunTool({"plugins"}, folder,
                   {{"LUMIVEIL_TEST_MARKER", marker}, {"XDG_CONFIG_HOME", dir.File("config")}});
  }
  bool ConstructorRan() const { return fs::exists(marker); }
};

struct UntrustedCase {
  const char* name;
  void (*arrange)(Place& place);
  std::string (*reason)(const Place& place);  // as `lumiveil plugins` gives it
  bool needs_root;
};

}  // namespace

// The same library in a folder of the user's own is loaded and its code runs: the cases
// below would notice a check that let it through.
TEST(NothingRun, APluginInTheUsersOwnFolderIsLoaded) {
  Place place;
  const ToolRun run = place.ListPlugins();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(place.ConstructorRan());
  EXPECT_NE(run.out.find(place.plugin + "\n  version: 00IN\n"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("skipped: 0\n") != std::string::npos, true) << run.out;
}

class UntrustedPlace : public testing::TestWithParam<UntrustedCase> {};

TEST_P(UntrustedPlace, IsSkippedUnopenedAndListedWithTheReason) {
  if (GetParam().needs_root && geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
  Place place;
  GetParam().arrange(place);
  const ToolRun run = place.ListPlugins();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(place.ConstructorRan()) << "the library's load-time code ran";
  EXPECT_EQ(run.out.find(place.plugin + "\n  version:"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("skipped: 1\n" + place.plugin + "\n  reason: " + GetParam().reason(place) +
                         "\n"),
            std::string::npos)
      << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    NothingRun, UntrustedPlace,
    testing::Values(
        UntrustedCase{"folder_writable_by_others",
                      [](Place& p) { fs::permissions(p.folder, fs::perms(0777)); },
                      [](const Place& p) {
                        return "not opened: its folder " + p.folder +
                               " is writable by others (mode 0777)";
                      },
                      false},
        UntrustedCase{"folder_writable_by_its_group",
                      [](Place& p) { fs::permissions(p.folder, fs::perms(0775)); },
                      [](const Place& p) {
                        return "not opened: its folder " + p.folder +
                               " is writable by its group (mode 0775)";
                      },
                      false},
        UntrustedCase{"sticky_folder_writable_by_all",
                      [](Place& p) { fs::permissions(p.folder, fs::perms(01777)); },
                      [](const Place& p) {
                        return "not opened: its folder " + p.folder +
                               " is writable by others (mode 1777)";
                      },
                      false},
        UntrustedCase{
            "file_writable_by_others", [](Place& p) { fs::permissions(p.plugin, fs::perms(0666)); },
            [](const Place&) {
              return std::string("not opened: the file is writable by others (mode 0666)");
            },
            false},
        UntrustedCase{"file_writable_by_its_group",
                      [](Place& p) { fs::permissions(p.plugin, fs::perms(0664)); },
                      [](const Place&) {
                        return std::string(
                            "not opened: the file is writable by its group (mode 0664)");
                      },
                      false},
        UntrustedCase{"link_to_a_file_where_others_may_write",
                      [](Place& p) {
                        const std::string shared = p.dir.File("shared");
                        fs::create_directory(shared);
                        fs::permissions(shared, fs::perms(0777));
                        fs::rename(p.plugin, shared + "/tp_constructor.spi");
                        fs::create_symlink(shared + "/tp_constructor.spi", p.plugin);
                      },
                      [](const Place& p) {
                        return "not opened: its folder " + p.dir.File("shared") +
                               " is writable by others (mode 0777)";
                      },
                      false},
        UntrustedCase{"file_of_another_user",
                      [](Place& p) { (void)!chown(p.plugin.c_str(), 65534, 65534); },
                      [](const Place&) {
                        return std::string(
                            "not opened: the file belongs to user 65534, neither to you nor "
                            "to root");
                      },
                      true},
        UntrustedCase{"folder_of_another_user",
                      [](Place& p) { (void)!chown(p.folder.c_str(), 65534, 65534); },
                      [](const Place& p) {
                        return "not opened: its folder " + p.folder +
                               " belongs to user 65534, neither to you nor to root";
                      },
                      true}),
    [](const testing::TestParamInfo<UntrustedCase>& info) { return std::string(info.param.name); });
