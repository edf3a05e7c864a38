// Nothing run: a plug-in is code, loaded only from places that the user or root alone may
// change. A library whose code runs as it is loaded, put where others may write, never
// runs, and `lumiveil plugins` names it with the reason.
#include <gtest/gtest.h>
#include <ostream>

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
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const UntrustedCase& c, std::ostream* os) { *os << c.name; }
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

namespace {

// How often `text` holds `part`.
size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace

// Whoever may change a folder above the plug-in's folder may put another folder in its
// place: such a folder makes the plug-in untrusted, but for a sticky folder of root's
// (as /tmp, where these tests' folders lie), whose entries only their owners may move.
TEST(NothingRun, AFolderAboveThatOthersMayChangeMakesThePluginUntrusted) {
  struct AboveCase {
    mode_t mode;
    uid_t owner;         // -1: the test's own user
    const char* reason;  // after "not opened: the folder P above it ", or nullptr: loaded
  };
  const bool root = geteuid() == 0;
  std::vector<AboveCase> cases = {
      {0777, static_cast<uid_t>(-1), "is writable by others (mode 0777)"},
      {0775, static_cast<uid_t>(-1), "is writable by its group (mode 0775)"},
      {0755, static_cast<uid_t>(-1), nullptr}};
  if (root) {
    cases.push_back({01777, 0, nullptr});
    cases.push_back({01777, kNobody, "belongs to user 65534, neither to you nor to root"});
  }
  for (const AboveCase& c : cases) {
    Place place;
    const std::string above = place.dir.File("above");
    fs::create_directory(above);
    const std::string folder = above + "/plugins";
    fs::rename(place.folder, folder);
    ASSERT_EQ(chmod(above.c_str(), c.mode), 0);
    if (c.owner != static_cast<uid_t>(-1)) {
      ASSERT_EQ(chown(above.c_str(), c.owner, 0), 0);
    }
    const ToolRun run = RunTool(
        {"plugins"}, folder,
        {{"LUMIVEIL_TEST_MARKER", place.marker}, {"XDG_CONFIG_HOME", place.dir.File("config")}});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string plugin = folder + "/tp_constructor.spi";
    if (c.reason == nullptr) {
      EXPECT_TRUE(place.ConstructorRan()) << std::oct << c.mode;
      EXPECT_NE(run.out.find(plugin + "\n  version: 00IN\n"), std::string::npos) << run.out;
    } else {
      EXPECT_FALSE(place.ConstructorRan()) << std::oct << c.mode;
      EXPECT_NE(run.out.find("skipped: 1\n" + plugin + "\n  reason: not opened: the folder " +
                             above + " above it " + c.reason + "\n"),
                std::string::npos)
          << run.out;
    }
  }
  // The folders on the way as the place names it count as well as those of the real path:
  // a link in a folder that others may change could be swapped between check and load.
  Place place;
  const std::string open = place.dir.File("open");
  fs::create_directory(open);
  fs::permissions(open, fs::perms(0777));
  fs::create_symlink(place.folder, open + "/plugins");
  fs::create_directories(place.dir.File("config/Quenbrook"));
  WriteText(place.dir.File("config/Quenbrook/Susie.conf"),
            "[Plug-in]\nPath=" + open + "/plugins\n");
  const ToolRun run = RunTool(
      {"plugins"}, place.dir.File("config"),
      {{"LUMIVEIL_TEST_MARKER", place.marker}, {"XDG_CONFIG_HOME", place.dir.File("config")}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(place.ConstructorRan());
  EXPECT_NE(run.out.find("skipped: 1\n" + open + "/plugins/tp_constructor.spi\n  reason: not " +
                         "opened: the folder " + open + " above it is writable by others (mode " +
                         "0777)\n"),
            std::string::npos)
      << run.out;
}

// One plug-in file reached twice, through a link in its own folder and from a second place
// (the configured folder, a link to the same folder), is loaded once and listed once.
TEST(NothingRun, OnePluginFileReachedTwiceIsLoadedAndListedOnce) {
  Place place;
  fs::create_symlink("tp_constructor.spi", place.folder + "/again.spi");
  const std::string second = place.dir.File("second");
  fs::create_symlink(place.folder, second);
  fs::create_directories(place.dir.File("config/Quenbrook"));
  WriteText(place.dir.File("config/Quenbrook/Susie.conf"), "[Plug-in]\nPath=" + second + "\n");
  const ToolRun run = place.ListPlugins();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(place.ConstructorRan());
  // Under the first name the search met (the configured place, in name order), once.
  EXPECT_EQ(Occurrences(run.out, "description: test plug-in\n"), 1u) << run.out;
  EXPECT_NE(run.out.find("plug-ins: 4\n" + second + "/again.spi\n"), std::string::npos) << run.out;
  EXPECT_EQ(Occurrences(run.out, "tp_constructor.spi"), 0u) << run.out;
  EXPECT_NE(run.out.find("skipped: 0\n"), std::string::npos) << run.out;
}
