// The plug-in classes and the registry: loading by API version, required entries,
// searching folders and places, the list operations, extension registration and the
// plug-in order for a file.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Format.h"
#include "base/Messages.h"
#include "platform/PluginPlaces.h"
#include "raster/FileFormats.h"
#include "susie/Spibmp.h"
#include "susie/Spis.h"
#include "tests/common/ErrorMessage.h"
#include "tests/susie/SusieTestSupport.h"

namespace {

std::vector<std::string> FileNames(const TSPIs& spis) {
  std::vector<std::string> names;
  for (int i = 0; i < spis.Count(); ++i)
    names.push_back(fs::path(spis.GetPlugins(i).FileName()).filename().string());
  return names;
}

std::vector<std::string> Names(const std::vector<TSPI*>& list) {
  std::vector<std::string> names;
  for (const TSPI* spi : list) names.push_back(fs::path(spi->FileName()).filename().string());
  return names;
}

// The registry entries added since `from`, as "ext:class:description".
std::vector<std::string> EntriesSince(int from) {
  std::vector<std::string> entries;
  const TFileFormatsList& formats = GetFileFormats();
  for (int i = from; i < formats.Count(); ++i)
    entries.push_back(formats[i].Extension + ":" + formats[i].GraphicClass->name + ":" +
                      formats[i].Description);
  return entries;
}

}  // namespace

TEST(CreateSPI, ChoosesTheClassByApiVersion) {
  struct Case {
    const char* plugin;
    const TSPIClass* cls;
  } cases[] = {{"tp_basic", &TInSPI::Class()},
               {"tp_am", &TAmSPI::Class()},
               {"tp_xn", &TXnSPI::Class()},
               {"tp_other", &TSPI::Class()}};
  for (const Case& c : cases) {
    auto spi = CreateSPI(TestPlugin(c.plugin));
    ASSERT_NE(spi, nullptr) << c.plugin;
    EXPECT_EQ(&spi->ClassType(), c.cls) << c.plugin;
    EXPECT_EQ(spi->FileName(), TestPlugin(c.plugin));
    EXPECT_EQ(spi->Description(), "test plug-in");
  }
  auto basic = CreateSPI(TestPlugin("tp_basic"));
  EXPECT_EQ(basic->ApiVersion(), "00IN");
  EXPECT_EQ(basic->GetExtNames(), std::vector<std::string>{"*.tpic"});
  EXPECT_EQ(basic->GetFileTypes(), std::vector<std::string>{"Test picture"});
}

TEST(CreateSPI, GivesNothingForFilesThatAreNotPlugins) {
  EXPECT_EQ(CreateSPI(TestPlugin("notalib")), nullptr);
  EXPECT_EQ(CreateSPI(TestPlugin("tp_noinfo")), nullptr);
  EXPECT_EQ(CreateSPI(TestPlugin("tp_nopicture")), nullptr);
  EXPECT_EQ(CreateSPI(TestPlugin("does-not-exist")), nullptr);
}

TEST(SPI, ConstructorsRaiseTheHostsMessages) {
  const std::string notalib = TestPlugin("notalib");
  EXPECT_EQ(ErrorMessage<ESPIFOpenErrorSPI>([&] { TSPI spi(notalib); }),
            Format(SSPIFOpenError, notalib.c_str()))
      << "a text file loads";
  const std::string noinfo = TestPlugin("tp_noinfo");
  EXPECT_EQ(ErrorMessage<ESPIInvalidSPI>([&] { TSPI spi(noinfo); }),
            Format(SSPIInvalidSPI, noinfo.c_str()))
      << "a library without GetPluginInfo loads";
  const std::string nopicture = TestPlugin("tp_nopicture");
  EXPECT_NO_THROW(TSPI{nopicture});  // as a plain plug-in it is fine
  EXPECT_THROW(TInSPI{nopicture}, ESPIInvalidSPI);
}

TEST(SPI, MissingOptionalEntryFailsOnlyWhenCalled) {
  const std::string path = TestPlugin("tp_basic");
  TInSPI spi(path);
  THLocal info = nullptr, bits = nullptr;
  try {
    spi.GetPreview("", 0, 1, &info, &bits, &ProgressCallback, 0);
    FAIL() << "GetPreview is not exported";
  } catch (const ESPIInvalidAPI& e) {
    EXPECT_EQ(e.Message(), Format(SSPIInvalidAPI, "GetPreview", path.c_str()));
  }
}

TEST(SPI, InfoPairsAreBoundedForAPluginThatAnswersEveryNumber) {
  TSPI spi(TestPlugin("tp_endless"));
  EXPECT_EQ(spi.GetExtNames().size(), static_cast<size_t>(TSPI::kMaxInfoPairs));
  EXPECT_EQ(spi.GetFileTypes().size(), static_cast<size_t>(TSPI::kMaxInfoPairs));
  EXPECT_EQ(spi.GetExtNames()[0], "*.e2");
  EXPECT_EQ(spi.GetFileTypes()[0], "type 3");
}

TEST(SPIs, OnlyOneRunTimeInstance) {
  EXPECT_EQ(SusiePlugins(), nullptr);
  {
    TSPIs first;
    EXPECT_EQ(SusiePlugins(), &first);
    try {
      TSPIs second;
      FAIL() << "a second instance was made";
    } catch (const ESPIDupCreateSPIs& e) {
      EXPECT_EQ(e.Message(), SSPIDupCreate);
    }
    TSPIs designing(true);  // a designing instance is no run-time instance
    EXPECT_EQ(SusiePlugins(), &first);
  }
  EXPECT_EQ(SusiePlugins(), nullptr);
  TSPIs again;
  EXPECT_EQ(SusiePlugins(), &again);
  EXPECT_EQ(again.SearchOptions, (TSPISearchOptions{spsSusieDir, spsAppDir}));
  EXPECT_TRUE(again.AutoSearch);
}

TEST(SPIs, SearchWithAFolderLoadsEachPluginOnceAndSkipsTheRestSilently) {
  TSPIs spis;
  spis.SearchOptions = TSPISearchOptions::All();  // a folder in the mask ignores the options
  spis.Search(Join(TestPluginDir(), "*.SPI"));
  // Sorted by name; notalib, tp_noinfo and tp_nopicture are skipped.
  EXPECT_EQ(FileNames(spis),
            (std::vector<std::string>{"tp_a.spi", "tp_am.spi", "tp_b.spi", "tp_basic.spi",
                                      "tp_c.spi", "tp_endless.spi", "tp_infofail.spi",
                                      "tp_other.spi", "tp_refuse.spi", "tp_xn.spi"}));
  const int count = spis.Count();
  spis.Search(Join(TestPluginDir(), "*.spi"));
  EXPECT_EQ(spis.Count(), count) << "a plug-in loaded from the same path twice";
  EXPECT_EQ(spis.IndexOfSPIName(TestPlugin("tp_am")), 1);
  EXPECT_EQ(
      spis.IndexOfSPIName(Join(TestPluginDir(), std::string(1, kPathDelimiter) + "tp_am.spi")), -1);
}

TEST(SPIs, RegistersImportPluginExtensionsAfterTheBuiltInEntries) {
  const TFileFormatsList& formats = GetFileFormats();
  ASSERT_GE(formats.Count(), 7);
  const char* built_in[] = {"wmf", "emf", "ico", "bmp", "gif", "jpeg", "jpg"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(formats[i].Extension, built_in[i]);
  const int before = formats.Count();
  TSPIs spis;
  spis.Search(Join(TestPluginDir(), "tp_[abc].spi"));  // no such pattern syntax: nothing
  EXPECT_EQ(spis.Count(), 0);
  spis.Search(Join(TestPluginDir(), "tp_?.spi"));
  spis.Search(Join(TestPluginDir(), "tp_am.spi"));
  spis.Search(Join(TestPluginDir(), "tp_xn.spi"));
  EXPECT_EQ(spis.Count(), 5);
  // tp_c claims "*.x;*.PIC" (from its last dot on: pic) and "*.bmp" (a second bmp entry);
  // the 00AM and 00XN plug-ins are listed but register nothing.
  EXPECT_EQ(EntriesSince(before),
            (std::vector<std::string>{"pic:TSPIBitmap:Picture A", "pic:TSPIBitmap:Picture C",
                                      "bmp:TSPIBitmap:Bitmap C"}));
  EXPECT_EQ(formats.FindExt("bmp"), &TSPIBitmap::Class());
}

TEST(SPIs, OnPictureRegisterChoosesTheClassOrSkips) {
  const int before = GetFileFormats().Count();
  TSPIs spis;
  std::vector<std::string> seen;
  spis.OnPictureRegister = [&](TSPIs&, TInSPI&, const std::string& ext, const std::string& desc,
                               const TGraphicClass*& cls) {
    seen.push_back(ext + "/" + desc);
    EXPECT_EQ(cls, &TSPIBitmap::Class());
    cls = ext == "bmp" ? nullptr : &TBitmap::Class();
  };
  spis.Search(Join(TestPluginDir(), "tp_c.spi"));
  EXPECT_EQ(seen, (std::vector<std::string>{"PIC/Picture C", "bmp/Bitmap C"}));
  EXPECT_EQ(EntriesSince(before), std::vector<std::string>{"pic:TBitmap:Picture C"});

  SetDefaultGraphic(nullptr);
  spis.OnPictureRegister = nullptr;
  spis.Search(Join(TestPluginDir(), "tp_a.spi"));
  SetDefaultGraphic(&TSPIBitmap::Class());
  EXPECT_EQ(EntriesSince(before).size(), 1u) << "no default class: nothing registered";
}

TEST(SPIs, FindPluginListPutsClaimingPluginsFirstInReverseOrder) {
  TSPIs spis;
  spis.Search(Join(TestPluginDir(), "tp_?.spi"));  // A (*.pic), B (nothing), C (*.x;*.PIC)
  spis.Search(Join(TestPluginDir(), "tp_am.spi"));
  std::vector<TSPI*> list;
  spis.FindPluginList({&TInSPI::Class()}, "/some/where/photo.PIC", list);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"tp_c.spi", "tp_a.spi", "tp_b.spi"}));
  list.clear();
  spis.FindPluginList({&TInSPI::Class()}, "photo.x", list);  // "*.x;*.PIC" claims only PIC
  EXPECT_EQ(Names(list), (std::vector<std::string>{"tp_a.spi", "tp_b.spi", "tp_c.spi"}));
  list.clear();
  spis.FindPluginList({&TInSPI::Class()}, "dir.pic/photo", list);  // no extension
  EXPECT_EQ(Names(list), (std::vector<std::string>{"tp_a.spi", "tp_b.spi", "tp_c.spi"}));
  list.clear();
  spis.FindPluginList({&TSPI::Class()}, "photo.pic", list);  // derived classes count
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"tp_c.spi", "tp_a.spi", "tp_b.spi", "tp_am.spi"}));
  list.clear();
  spis.FindPluginList({&TAmSPI::Class(), &TXnSPI::Class()}, "photo.pic", list);
  EXPECT_EQ(Names(list), std::vector<std::string>{"tp_am.spi"});
}

TEST(SPIs, OnSearchCanRefuseAndItsFailuresAreSkipped) {
  TSPIs spis;
  std::vector<std::string> offered;
  spis.OnSearch = [&](TSPIs&, TSPI& spi, bool& accept) {
    const std::string name = fs::path(spi.FileName()).filename().string();
    offered.push_back(name);
    EXPECT_TRUE(accept);
    if (name == "tp_b.spi") accept = false;
    if (name == "tp_c.spi") throw EInvalidGraphic("refused by the event");
  };
  spis.Search(Join(TestPluginDir(), "tp_?.spi"));
  EXPECT_EQ(offered, (std::vector<std::string>{"tp_a.spi", "tp_b.spi", "tp_c.spi"}));
  EXPECT_EQ(FileNames(spis), std::vector<std::string>{"tp_a.spi"});
}

// The files a search does not add are listed with why, on every platform: one that does
// not load (the loader's own reason after the host's message), one that is no Susie plug-in
// (the entry it lacks), and those the search event refused or failed on.
TEST(SPIs, EveryFileNotAddedIsListedWithItsReason) {
  TSPIs spis;
  spis.OnSearch = [&](TSPIs&, TSPI& spi, bool& accept) {
    const std::string name = fs::path(spi.FileName()).filename().string();
    if (name == "tp_b.spi") accept = false;
    if (name == "tp_c.spi") throw EInvalidGraphic("refused by the event");
  };
  spis.Search(Join(TestPluginDir(), "*.spi"));
  std::vector<std::string> listed;
  for (const TSPIRejection& r : spis.Rejected()) {
    const std::string name = fs::path(r.FileName).filename().string();
    listed.push_back(name);
    if (name == "notalib.spi") {
      const std::string host =
          EInvalidGraphic(Format(SSPIFOpenError, r.FileName.c_str())).MessageWithSense();
      EXPECT_EQ(r.Reason.substr(0, host.size() + 2), host + ": ") << r.Reason;
      EXPECT_GT(r.Reason.size(), host.size() + 2) << "the loader's own reason follows";
    } else if (name == "tp_noinfo.spi") {
      EXPECT_EQ(r.Reason,
                EInvalidGraphic(Format(SSPIInvalidSPI, r.FileName.c_str())).MessageWithSense() +
                    ": it has no entry \"GetPluginInfo\"");
    } else if (name == "tp_nopicture.spi") {
      EXPECT_EQ(r.Reason,
                EInvalidGraphic(Format(SSPIInvalidSPI, r.FileName.c_str())).MessageWithSense() +
                    ": it has no entry \"GetPicture\"");
    } else if (name == "tp_b.spi") {
      EXPECT_EQ(r.Reason, "loaded, but not accepted by the search");
    } else if (name == "tp_c.spi") {
      EXPECT_EQ(r.Reason, "refused by the event");
    }
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"notalib.spi", "tp_b.spi", "tp_c.spi",
                                              "tp_noinfo.spi", "tp_nopicture.spi"}));
  // A second search lists each file once; Clear forgets them with the plug-ins.
  spis.Search(Join(TestPluginDir(), "*.spi"));
  EXPECT_EQ(spis.Rejected().size(), listed.size());
  spis.Clear();
  EXPECT_TRUE(spis.Rejected().empty());
}

TEST(SPIs, AFailedRegistrationLeavesNoFreedPluginInTheList) {
  TSPIs spis;
  spis.OnPictureRegister = [](TSPIs&, TInSPI&, const std::string& ext, const std::string&,
                              const TGraphicClass*&) {
    if (ext == "bmp") throw EInvalidGraphic("cannot register");
  };
  spis.Search(Join(TestPluginDir(), "tp_?.spi"));  // tp_c fails on its second extension
  EXPECT_EQ(FileNames(spis), (std::vector<std::string>{"tp_a.spi", "tp_b.spi"}));
  auto c = CreateSPI(TestPlugin("tp_c"));
  ASSERT_NE(c, nullptr);
  EXPECT_THROW(spis.Add(std::move(c)), EInvalidGraphic);
  EXPECT_EQ(spis.Count(), 2);
  for (int i = 0; i < spis.Count(); ++i) EXPECT_FALSE(spis.GetPlugins(i).FileName().empty());
}

TEST(SPIs, ListOperations) {
  TSPIs spis;
  spis.Search(Join(TestPluginDir(), "tp_?.spi"));
  ASSERT_EQ(spis.Count(), 3);
  TSPI* a = &spis.GetPlugins(0);
  TSPI* c = &spis.GetPlugins(2);
  spis.Exchange(0, 2);
  EXPECT_EQ(spis.IndexOf(a), 2);
  EXPECT_EQ(spis.IndexOf(c), 0);
  spis.Insert(1, CreateSPI(TestPlugin("tp_xn")));
  EXPECT_EQ(FileNames(spis),
            (std::vector<std::string>{"tp_c.spi", "tp_xn.spi", "tp_b.spi", "tp_a.spi"}));
  spis.Remove(c);
  EXPECT_EQ(spis.IndexOf(c), -1);
  spis.Remove(c);  // not in the list: nothing
  EXPECT_EQ(spis.Count(), 3);
  spis.Delete(0);
  EXPECT_EQ(FileNames(spis), (std::vector<std::string>{"tp_b.spi", "tp_a.spi"}));
  try {
    spis.GetPlugins(2);
    FAIL() << "index 2 of 2";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), Format(SListIndexError, 2));
  }
  EXPECT_THROW(spis.GetPlugins(-1), EListError);
  EXPECT_THROW(spis.Delete(5), EListError);
  EXPECT_THROW(spis.Exchange(0, 2), EListError);
  EXPECT_THROW(spis.Insert(3, CreateSPI(TestPlugin("tp_xn"))), EListError);
  spis.Clear();
  EXPECT_EQ(spis.Count(), 0);
}

TEST(PluginPlaces, Patterns) {
  EXPECT_TRUE(MatchesPattern("PNG.SPI", "*.spi"));
  EXPECT_TRUE(MatchesPattern("a.spi", "?.spi"));
  EXPECT_FALSE(MatchesPattern("ab.spi", "?.spi"));
  EXPECT_FALSE(MatchesPattern("a.spi.txt", "*.spi"));
  EXPECT_TRUE(MatchesPattern("a.b.spi", "*.*"));
  EXPECT_TRUE(MatchesPattern("", "*"));
}

#ifdef _WIN32
// Runs the system's attrib tool on a file ("+h" hidden, "+r" read-only, "+s" system).
bool SetAttribute(const std::string& flag, const std::string& file) {
  return std::system(("\"attrib " + flag + " \"" + file + "\" >NUL 2>&1\"").c_str()) == 0;
}

TEST(PluginPlaces, FileSearchTakesFilesButNotHiddenOnesOrFolders) {
  TempDir dir;
  for (const char* name :
       {"b.spi", "B2.SPI", "a.spi", "hidden.spi", "ro.spi", "sys.spi", "c.txt", "old.spi~"})
    WriteFile(dir / name, {1});
  fs::create_directory(dir / "folder.spi");
  ASSERT_TRUE(SetAttribute("+h", dir / "hidden.spi"));
  ASSERT_TRUE(SetAttribute("+r", dir / "ro.spi"));
  ASSERT_TRUE(SetAttribute("+s", dir / "sys.spi"));
  // The order is the system's; the set is what counts.
  std::vector<std::string> found = FindFiles(dir.Path(), "*.spi");
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"B2.SPI", "a.spi", "b.spi", "ro.spi", "sys.spi"}));
  std::vector<std::string> with_delimiter = FindFiles(dir.Path() + "\\", "*.spi");
  std::sort(with_delimiter.begin(), with_delimiter.end());
  EXPECT_EQ(with_delimiter, found);
  EXPECT_EQ(FindFiles(dir / "nowhere", "*.spi"), std::vector<std::string>{});
  SetAttribute("-r", dir / "ro.spi");  // so that the folder can be removed
  SetAttribute("-s", dir / "sys.spi");
}

TEST(PluginPlaces, RegistryPathIsReadWithItsSkippingRules) {
  RegistryPathGuard guard;
  EXPECT_STREQ(SusieRegistryKey(), "Software\\Quenbrook\\Susie\\Plug-in");
  EXPECT_FALSE(SusiePluginPath()) << "no key";
  ASSERT_TRUE(RegistryPathGuard::SetKeyWithoutPath());
  EXPECT_FALSE(SusiePluginPath()) << "no value";
  ASSERT_TRUE(RegistryPathGuard::Set(""));
  EXPECT_FALSE(SusiePluginPath()) << "empty value";
  ASSERT_TRUE(RegistryPathGuard::Set("5", "REG_DWORD"));
  EXPECT_FALSE(SusiePluginPath()) << "not a string";
  ASSERT_TRUE(RegistryPathGuard::Set("C:\\Program Files\\Susie"));
  EXPECT_EQ(SusiePluginPath().value_or(""), "C:\\Program Files\\Susie");
  ASSERT_TRUE(RegistryPathGuard::Set("C:\\Susie\\", "REG_EXPAND_SZ"));
  EXPECT_EQ(SusiePluginPath().value_or(""), "C:\\Susie\\");
}

TEST(PluginPlaces, SystemAndWindowsDirectoriesAreTheSystems) {
  const std::string system = SystemDirectory();
  const std::string windows = WindowsDirectory();
  ASSERT_FALSE(system.empty());
  ASSERT_FALSE(windows.empty());
  EXPECT_TRUE(fs::is_directory(system)) << system;
  EXPECT_TRUE(fs::is_directory(windows)) << windows;
  EXPECT_NE(system, windows);
  EXPECT_FALSE(IsPathDelimiter(system.back()));
}
#else
TEST(PluginPlaces, FileSearch) {
  TempDir dir;
  for (const char* name : {"b.spi", "B2.SPI", "a.spi", ".hidden.spi", "c.txt"})
    WriteFile(dir / name, {1});
  fs::create_directory(dir / "folder.spi");
  fs::create_symlink(dir / "a.spi", dir / "link.spi");
  fs::create_symlink(dir / "missing", dir / "dangling.spi");
  EXPECT_EQ(FindFiles(dir.Path(), "*.spi"),
            (std::vector<std::string>{"B2.SPI", "a.spi", "b.spi", "link.spi"}));
  EXPECT_EQ(FindFiles(dir / "nowhere", "*.spi"), std::vector<std::string>{});
}

TEST(PluginPlaces, SusieConfigFileIsReadWithItsSkippingRules) {
  TempDir config;
  EnvGuard xdg("XDG_CONFIG_HOME", config.Path());
  EXPECT_EQ(SusieConfigFile(), config.Path() + "/Quenbrook/Susie.conf");
  EXPECT_FALSE(SusiePluginPath()) << "no file";
  fs::create_directory(config / "Quenbrook");
  const auto write = [&](const std::string& text) {
    std::ofstream(config / "Quenbrook/Susie.conf") << text;
  };
  write("[Other]\nPath=/x\n");
  EXPECT_FALSE(SusiePluginPath()) << "no group";
  write("[Plug-in]\nOther=/x\n");
  EXPECT_FALSE(SusiePluginPath()) << "no key";
  write("[Plug-in]\nPath=\n");
  EXPECT_FALSE(SusiePluginPath()) << "empty value";
  write("; comment\n[Other]\nPath=/no\n[Plug-in]\n  Path = /opt/susie/plugins  \n");
  EXPECT_EQ(SusiePluginPath().value_or(""), "/opt/susie/plugins");
  EnvGuard relative("XDG_CONFIG_HOME", "relative/dir");  // not absolute: ~/.config instead
  EXPECT_NE(SusieConfigFile(), "relative/dir/Quenbrook/Susie.conf");
}
#endif

TEST(SPIs, SearchesThePlacesInTheirFixedOrder) {
  TempDir susie, current;
  LinkOrCopy(TestPlugin("tp_a"), susie / "tp_a.spi");
  LinkOrCopy(TestPlugin("tp_b"), current / "tp_b.spi");
  SusiePathSetting setting;
  CwdGuard cwd(current.Path());
  for (const std::string& path : {susie.Path(), susie.Path() + kPathDelimiter}) {
    setting.Set(path);
    TSPIs spis;
    spis.SearchOptions = {spsCurrentDir, spsAppDir, spsAppPluginDir, spsSusieDir};
    spis.Loaded();
    // Susie's folder, the plug-in folder beside the program, the program's folder, then
    // the current directory (the build puts tp_xn and tp_am beside the test program).
    EXPECT_EQ(FileNames(spis),
              (std::vector<std::string>{"tp_a.spi", "tp_xn.spi", "tp_am.spi", "tp_b.spi"}))
        << "Path=" << path;
    ASSERT_EQ(spis.Count(), 4);
    EXPECT_EQ(spis.GetPlugins(0).FileName(), susie / "tp_a.spi");
    EXPECT_EQ(spis.GetPlugins(1).FileName(),
              Join(Join(ExecutableDirectory(), "SusiePlugin"), "tp_xn.spi"));
    EXPECT_EQ(spis.GetPlugins(2).FileName(), Join(ExecutableDirectory(), "tp_am.spi"));
    EXPECT_EQ(spis.GetPlugins(3).FileName(), current / "tp_b.spi");
  }
  {
    TSPIs spis;
    spis.SearchOptions = {spsCurrentDir};
    spis.AutoSearch = false;
    spis.Loaded();
    EXPECT_EQ(spis.Count(), 0) << "AutoSearch off";
  }
}

TEST(SPIs, TheSameFolderThroughTwoOptionsIsLoadedOnce) {
  TempDir current;
  LinkOrCopy(TestPlugin("tp_a"), current / "tp_a.spi");
  SusiePathSetting setting;
  setting.Set(current.Path() + kPathDelimiter);
  CwdGuard cwd(current.Path());
  TSPIs spis;
  spis.SearchOptions = {spsSusieDir, spsCurrentDir};
  spis.Search("*.spi");
  EXPECT_EQ(FileNames(spis), std::vector<std::string>{"tp_a.spi"});
}

TEST(SPIs, WithNoPluginsAnywhereNothingIsLoadedOrRegistered) {
  TempDir empty;
  SusiePathSetting setting;  // no folder set
  CwdGuard cwd(empty.Path());
  const int before = GetFileFormats().Count();
  TSPIs spis;
  spis.SearchOptions = {spsSusieDir, spsCurrentDir};
  spis.Loaded();
  EXPECT_EQ(spis.Count(), 0);
  EXPECT_EQ(GetFileFormats().Count(), before);
}
