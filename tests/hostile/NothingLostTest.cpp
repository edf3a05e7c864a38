// Nothing lost: an empty input never replaces a file, an empty picture is never saved,
// links are written through and stay links, devices and FIFOs take the bytes and stay
// what they are, and every other kind of target is refused untouched.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <ostream>

#include <filesystem>
#include <thread>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/Messages.h"
#include "base/Streams.h"
#include "gif/Gifimage.h"
#include "platform/Files.h"
#include "raster/Bitmap.h"
#include "tests/hostile/HostileSupport.h"

namespace fs = std::filesystem;

namespace {

// The BMP file that `lumiveil convert` makes of the photo, made once by the tool itself.
const std::vector<uint8_t>& ConvertedPhoto() {
  static const std::vector<uint8_t> bytes = [] {
    TempDir dir;
    RunTool({"convert", Sample("coffee.bmp"), dir.File("ref.bmp")});
    return ReadBytes(dir.File("ref.bmp"));
  }();
  return bytes;
}

struct EmptyInputCase {
  const char* name;
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const EmptyInputCase& c, std::ostream* os) { *os << c.name; }
  std::vector<std::string> args;  // {empty}, {photo} and {out} stand for the files
};

std::string CaseName(const testing::TestParamInfo<EmptyInputCase>& info) {
  return info.param.name;
}

// Runs the tool with `args` while another process reads `fifo` into the file `received`,
// as the reader at the other end of a pipe would; returns once both are done.
ToolRun RunIntoFifo(const std::vector<std::string>& args, const std::string& fifo,
                    const std::string& received) {
  const pid_t reader = fork();
  if (reader == 0) {
    execlp("sh", "sh", "-c", "exec cat \"$0\" > \"$1\"", fifo.c_str(), received.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  const ToolRun run = RunTool(args);
  int status = 0;
  waitpid(reader, &status, 0);
  return run;
}

}  // namespace

class EmptyInput : public testing::TestWithParam<EmptyInputCase> {};

// The BMP reader makes an empty picture of an empty file; the tool takes that for no input
// at all, so the target keeps what it held.
TEST_P(EmptyInput, LeavesTheExistingTargetAsItWasWithExitStatus2) {
  TempDir dir;
  WriteText(dir.File("e.png"), "");
  WriteText(dir.File("t.bmp"), "OLD\n");
  std::vector<std::string> args;
  for (std::string a : GetParam().args) {
    if (a == "{empty}") a = dir.File("e.png");
    if (a == "{photo}") a = Sample("coffee.bmp");
    if (a == "{out}") a = dir.File("t.bmp");
    args.push_back(a);
  }
  const ToolRun run = RunTool(args);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "lumiveil " + args[0] + ": " + dir.File("e.png") +
                         ": holds no picture: the file is empty\n");
  EXPECT_EQ(ReadText(dir.File("t.bmp")), "OLD\n");
  EXPECT_EQ(dir.Entries().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    NothingLost, EmptyInput,
    testing::Values(EmptyInputCase{"convert", {"convert", "{empty}", "{out}"}},
                    EmptyInputCase{"resize", {"resize", "{empty}", "{out}", "10", "10"}},
                    EmptyInputCase{"gif", {"gif", "{empty}", "{out}"}},
                    EmptyInputCase{"gif_panel", {"gif", "{empty}", "{out}", "--panel"}},
                    EmptyInputCase{"synth_visible", {"synth", "{empty}", "{photo}", "-o", "{out}"}},
                    EmptyInputCase{"synth_hidden", {"synth", "{photo}", "{empty}", "-o", "{out}"}},
                    EmptyInputCase{"synth_gif",
                                   {"synth", "{empty}", "{photo}", "-o", "{out}", "--gif"}}),
    CaseName);

// synth reads its two inputs at the same time: whichever fails, the message names that
// file, the first file's failure is told where both fail, the notes come in the order of
// the files, and the target keeps what it held; one thread or two, the same messages.
TEST(NothingLost, SynthReadingBothInputsAtOnceTellsEachFileAsInTurn) {
  TempDir dir;
  WriteText(dir.File("e.png"), "");
  WriteText(dir.File("t.bmp"), "OLD\n");
  const std::vector<uint8_t>& photo = ConvertedPhoto();
  WriteBytes(dir.File("cut.bmp"), {photo.begin(), photo.begin() + photo.size() / 2});
  WriteBytes(dir.File("cut2.bmp"), {photo.begin(), photo.begin() + photo.size() / 3});
  const std::string empty = ": holds no picture: the file is empty\n";
  const auto note = [&](const std::string& name, int rows) {
    return "lumiveil synth: note: " + dir.File(name) +
           ": cut short: the missing rows are black (the top " + std::to_string(rows) +
           " of 400 rows)\n";
  };
  const struct {
    std::string visible, hidden, err;
  } cases[] = {
      {"none.bmp", "e.png", "lumiveil synth: " + dir.File("none.bmp") + ": no such file\n"},
      {"e.png", "none.bmp", "lumiveil synth: " + dir.File("e.png") + empty},
      {"e.png", "cut.bmp", "lumiveil synth: " + dir.File("e.png") + empty},
      {"cut.bmp", "e.png", note("cut.bmp", 201) + "lumiveil synth: " + dir.File("e.png") + empty},
      {"cut.bmp", "none.bmp",
       note("cut.bmp", 201) + "lumiveil synth: " + dir.File("none.bmp") + ": no such file\n"},
  };
  for (const char* threads : {"1", "2"}) {
    for (const auto& c : cases) {
      const ToolRun run =
          RunTool({"synth", dir.File(c.visible), dir.File(c.hidden), "-o", dir.File("t.bmp")}, "",
                  {{"LUMIVEIL_THREADS", threads}});
      EXPECT_EQ(run.status, 2) << c.visible << " " << c.hidden << ", " << threads;
      EXPECT_EQ(run.err, c.err) << threads << " threads";
      EXPECT_EQ(ReadText(dir.File("t.bmp")), "OLD\n");
    }
    // Both read, each with its note, in the order of the files.
    const ToolRun run =
        RunTool({"synth", dir.File("cut.bmp"), dir.File("cut2.bmp"), "-o", dir.File("s.bmp")}, "",
                {{"LUMIVEIL_THREADS", threads}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, note("cut.bmp", 201) + note("cut2.bmp", 267)) << threads << " threads";
  }
  EXPECT_EQ(dir.Entries().size(), 5u);
}

// One rule for every front end: the library refuses to save an empty picture, BMP or GIF,
// before any file is made.
TEST(NothingLost, AnEmptyPictureIsRefusedBeforeAnyFileIsMade) {
  TempDir dir;
  WriteText(dir.File("old.bmp"), "OLD\n");
  TBitmap empty_bitmap;
  TGIFImage empty_gif;
  for (TGraphic* graphic : std::vector<TGraphic*>{&empty_bitmap, &empty_gif}) {
    for (const std::string& name : {dir.File("old.bmp"), dir.File("new.gif")}) {
      try {
        graphic->SaveToFile(name);
        ADD_FAILURE() << graphic->ClassName() << " saved";
      } catch (const EInvalidGraphicOperation& e) {
        EXPECT_EQ(e.Message(), Format(SEmptyPictureNotSaved, name.c_str()));
      }
    }
  }
  EXPECT_EQ(ReadText(dir.File("old.bmp")), "OLD\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.bmp"});
}

// A link, a chain of links from another folder, and a dangling link: the final target
// takes the new picture (keeping its permissions) and every link stays a link.
TEST(NothingLost, SymbolicLinksAreWrittenThroughAndStayLinks) {
  TempDir dir;
  fs::create_directories(dir.File("pictures"));
  fs::create_directories(dir.File("elsewhere"));
  WriteText(dir.File("pictures/target.bmp"), "OLD\n");
  fs::permissions(dir.File("pictures/target.bmp"), fs::perms(0640));
  fs::create_symlink("target.bmp", dir.File("pictures/link.bmp"));
  fs::create_symlink("../pictures/link.bmp", dir.File("elsewhere/chain.bmp"));
  for (const char* name : {"pictures/link.bmp", "elsewhere/chain.bmp"}) {
    WriteText(dir.File("pictures/target.bmp"), "OLD\n");
    const ToolRun run = RunTool({"convert", Sample("coffee.bmp"), dir.File(name)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("pictures/link.bmp"))));
    EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("elsewhere/chain.bmp"))));
    EXPECT_EQ(ReadBytes(dir.File("pictures/target.bmp")), ConvertedPhoto()) << name;
    EXPECT_EQ(ModeOf(dir.File("pictures/target.bmp")) & 07777, 0640u);
  }
  EXPECT_EQ(fs::read_symlink(dir.File("pictures/link.bmp")), "target.bmp");

  // A dangling link: its target is made, in the link's target folder.
  fs::create_symlink("made.bmp", dir.File("pictures/dangling.bmp"));
  EXPECT_EQ(RunTool({"convert", Sample("coffee.bmp"), dir.File("pictures/dangling.bmp")}).status,
            0);
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("pictures/dangling.bmp"))));
  EXPECT_EQ(ReadBytes(dir.File("pictures/made.bmp")), ConvertedPhoto());

  // One into a folder that does not exist: refused with the reason, the link as it was.
  fs::create_symlink("missing/x.bmp", dir.File("pictures/nowhere.bmp"));
  const ToolRun nowhere =
      RunTool({"convert", Sample("coffee.bmp"), dir.File("pictures/nowhere.bmp")});
  EXPECT_EQ(nowhere.status, 3);
  EXPECT_EQ(nowhere.err,
            "lumiveil convert: " +
                Shown(Format(SFCreateError, dir.File("pictures/nowhere.bmp").c_str())) +
                ": No such file or directory\n");
  EXPECT_EQ(fs::read_symlink(dir.File("pictures/nowhere.bmp")), "missing/x.bmp");
}

// A save that fails through a link leaves the link and its target as they were.
TEST(NothingLost, AFailedSaveThroughALinkLeavesBothAsTheyWere) {
  TempDir dir;
  WriteText(dir.File("target.bmp"), "OLD\n");
  fs::create_symlink("target.bmp", dir.File("link.bmp"));
  EXPECT_THROW(SaveFileSafely(dir.File("link.bmp"),
                              [](TStream& s) {
                                s.WriteBuffer("half", 4);
                                throw EWriteError(SWriteError);
                              }),
               EWriteError);
  EXPECT_EQ(ReadText(dir.File("target.bmp")), "OLD\n");
  EXPECT_EQ(fs::read_symlink(dir.File("link.bmp")), "target.bmp");
  EXPECT_EQ(dir.Entries().size(), 2u);
}

// Another process reads the FIFO: it receives the whole file, and the FIFO stays one.
TEST(NothingLost, AFifoTargetIsWrittenIntoAndStaysAFifo) {
  TempDir dir;
  const std::string fifo = dir.File("pipe.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  RunTool({"gif", Sample("coffee.bmp"), dir.File("ref.gif")});
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
      {"convert", ConvertedPhoto()}, {"gif", ReadBytes(dir.File("ref.gif"))}};
  for (const auto& [command, expected] : cases) {
    const std::string received = dir.File("received");
    const ToolRun run = RunIntoFifo({command, Sample("coffee.bmp"), fifo}, fifo, received);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(received), expected) << command;
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo))) << command;
  }
  EXPECT_EQ(dir.Entries().size(), 3u);  // the FIFO, ref.gif, received
}

// A PNG is saved the same way as every other file: written through a link that stays a
// link, and into a FIFO that stays a FIFO, the bytes those of a PNG saved to a plain file.
TEST(NothingLost, APngGoesThroughLinksAndIntoFifosAsEveryFileDoes) {
  TempDir dir;
  ASSERT_EQ(RunTool({"convert", Sample("coffee.bmp"), dir.File("ref.png")}).status, 0);
  const std::vector<uint8_t> expected = ReadBytes(dir.File("ref.png"));
  ASSERT_GT(expected.size(), 8u);
  EXPECT_EQ(expected[1], 'P');  // a PNG signature, not the BMP the name would not ask for

  WriteText(dir.File("target.png"), "OLD\n");
  fs::create_symlink("target.png", dir.File("link.png"));
  const ToolRun linked = RunTool({"convert", Sample("coffee.bmp"), dir.File("link.png")});
  EXPECT_EQ(linked.status, 0) << linked.err;
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link.png"))));
  EXPECT_EQ(ReadBytes(dir.File("target.png")), expected);

  const std::string fifo = dir.File("pipe.png");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string received = dir.File("received");
  const ToolRun piped = RunIntoFifo({"convert", Sample("coffee.bmp"), fifo}, fifo, received);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(ReadBytes(received), expected);
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
  EXPECT_EQ(dir.Entries().size(), 5u);  // ref.png, target.png, link.png, the FIFO, received
}

// A character device takes the bytes and is never replaced. As root the test makes a null
// device of its own (so a fault could never replace the system's); otherwise it uses
// /dev/null, which a user could not replace anyway.
TEST(NothingLost, ACharacterDeviceIsWrittenIntoAndNeverReplaced) {
  TempDir dir;
  std::string device = "/dev/null";
  if (geteuid() == 0) {
    device = dir.File("null");
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  }
  struct stat before {};
  ASSERT_EQ(stat(device.c_str(), &before), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"convert", Sample("coffee.bmp"), device},
        {"gif", Sample("coffee.bmp"), device, "--panel"},
        {"synth", Sample("coffee.bmp"), Sample("chelsea.bmp"), "-o", device}}) {
    const ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat after {};
    ASSERT_EQ(stat(device.c_str(), &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode)) << args[0];
    EXPECT_EQ(after.st_rdev, before.st_rdev);
    EXPECT_EQ(after.st_ino, before.st_ino);
  }
}

// "-" is standard output, for every command that writes a file.
TEST(NothingLost, DashWritesTheFileToStandardOutput) {
  TempDir dir;
  const ToolRun bmp = RunTool({"convert", Sample("coffee.bmp"), "-"});
  EXPECT_EQ(bmp.status, 0);
  EXPECT_EQ(std::vector<uint8_t>(bmp.out.begin(), bmp.out.end()), ConvertedPhoto());
  RunTool({"synth", Sample("coffee.bmp"), Sample("chelsea.bmp"), "-o", dir.File("s.gif")});
  const ToolRun gif =
      RunTool({"synth", Sample("coffee.bmp"), Sample("chelsea.bmp"), "-o", "-", "--gif"});
  EXPECT_EQ(gif.status, 0);
  EXPECT_EQ(std::vector<uint8_t>(gif.out.begin(), gif.out.end()), ReadBytes(dir.File("s.gif")));
  // A file named "-" is still reached by its path.
  EXPECT_EQ(RunTool({"convert", Sample("coffee.bmp"), "./-"}, dir.File("")).status, 0);
  EXPECT_EQ(ReadBytes(dir.File("-")), ConvertedPhoto());
}

struct OtherKindCase {
  const char* name;
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const OtherKindCase& c, std::ostream* os) { *os << c.name; }
  const char* kind;  // as the message says it
};

class OtherKind : public testing::TestWithParam<OtherKindCase> {};

// A folder, a socket and a block device are refused with what they are, and stay.
TEST_P(OtherKind, IsRefusedWithWhatItIsAndStaysAsItWas) {
  TempDir dir;
  const std::string target = dir.File("target");
  const std::string name = GetParam().name;
  if (name == "directory") {
    fs::create_directory(target);
  } else if (name == "socket") {
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, target.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(s);
  } else {
    if (geteuid() != 0) GTEST_SKIP() << "only root can make a block device";
    // A device number that no driver serves: even a write that got through would fail.
    ASSERT_EQ(mknod(target.c_str(), S_IFBLK | 0600, makedev(259, 1048000)), 0);
  }
  const mode_t kind = ModeOf(target) & S_IFMT;
  const ToolRun run = RunTool({"convert", Sample("coffee.bmp"), target});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "lumiveil convert: " + Shown(Format(SFCreateError, target.c_str())) +
                         ": it is " + GetParam().kind +
                         "; only a regular file, a character device or a FIFO can be written\n");
  EXPECT_EQ(ModeOf(target) & S_IFMT, kind);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"target"});
}

INSTANTIATE_TEST_SUITE_P(NothingLost, OtherKind,
                         testing::Values(OtherKindCase{"directory", "a directory"},
                                         OtherKindCase{"socket", "a socket"},
                                         OtherKindCase{"block_device", "a block device"}),
                         [](const testing::TestParamInfo<OtherKindCase>& info) {
                           return std::string(info.param.name);
                         });

// /dev/stdout, /dev/stderr and /dev/fd/N name a descriptor the shell set up: the picture
// goes into it as into "-", and a file opened with >> is appended to, never replaced
// (opened anew, the log below was once replaced by the picture, with exit status 0).
TEST(NothingLost, OutputsThatNameAHeldDescriptorAppendWhereTheShellAppends) {
  TempDir dir;
  const std::string log = dir.File("app.log");
  const std::string tool = ToolPath();
  const std::string photo = Sample("coffee.bmp");
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/stdout", ">>"}, {"/dev/stderr", "2>>"}, {"/dev/fd/5", "5>>"}, {"-", ">>"}};
  for (const auto& [name, redirect] : cases) {
    WriteText(log, "LOG LINE\n");
    const std::string command =
        "'" + tool + "' convert '" + photo + "' " + name + " " + redirect + "'" + log + "'";
    EXPECT_EQ(RunCommand(command), 0) << command;
    std::vector<uint8_t> expected = {'L', 'O', 'G', ' ', 'L', 'I', 'N', 'E', '\n'};
    expected.insert(expected.end(), ConvertedPhoto().begin(), ConvertedPhoto().end());
    EXPECT_EQ(ReadBytes(log), expected) << name;
  }
  // A descriptor that is not open is told with the system's reason, and nothing is made.
  const ToolRun closed = RunTool({"convert", photo, "/dev/fd/200"});
  EXPECT_EQ(closed.status, 3);
  EXPECT_EQ(closed.err, "lumiveil convert: " + Shown(Format(SFCreateError, "/dev/fd/200")) +
                            ": Bad file descriptor\n");
}

// A replaced file keeps its permission bits, and when root replaces it, its owner and group:
// the file stays the user's, readable by whom it was readable.
TEST(NothingLost, AReplacedFileKeepsItsModeAndItsOwner) {
  TempDir dir;
  const std::string target = dir.File("kept.bmp");
  for (const mode_t mode : {0600, 0640, 0604, 0755}) {
    WriteText(target, "OLD\n");
    ASSERT_EQ(chmod(target.c_str(), mode), 0);
    const bool root = geteuid() == 0;
    if (root) {
      ASSERT_EQ(chown(target.c_str(), kNobody, kNobody), 0);
    }
    const ToolRun run = RunTool({"convert", Sample("coffee.bmp"), target});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(target), ConvertedPhoto());
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    if (root) {
      EXPECT_EQ(st.st_uid, kNobody);
      EXPECT_EQ(st.st_gid, kNobody);
    }
  }
}

// As root, in a sticky folder that all may write to (as /tmp is): a link another user put
// there, pointing at root's file, is not followed, for writing or reading; root's own link
// and the folder owner's are. The kernel's protection of such links is off on some
// machines, so the tool keeps the rule itself.
TEST(NothingLost, ALinkPlantedInASharedFolderIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's link";
  TempDir dir;
  const std::string shared = dir.File("shared");
  fs::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string victim = dir.File("victim.bmp");
  ASSERT_EQ(RunTool({"convert", Sample("chelsea.bmp"), victim}).status, 0);
  const std::vector<uint8_t> before = ReadBytes(victim);
  const std::string planted = shared + "/out.bmp";
  fs::create_symlink(victim, planted);
  ASSERT_EQ(lchown(planted.c_str(), kNobody, kNobody), 0);
  const std::string why = "the way there passes the symbolic link " + planted +
                          ", which belongs to user 65534 and lies in " + shared +
                          ", a sticky folder that all may write to; such a link is followed "
                          "only when it is yours or the folder owner's";

  const ToolRun write = RunTool({"convert", Sample("coffee.bmp"), planted});
  EXPECT_EQ(write.status, 3);
  EXPECT_EQ(write.err, "lumiveil convert: " + Shown(Format(SFCreateError, planted.c_str())) + ": " +
                           why + "\n");
  // Also as a folder on the way.
  fs::create_directory(dir.File("elsewhere"));
  fs::create_symlink(dir.File("elsewhere"), shared + "/way");
  ASSERT_EQ(lchown((shared + "/way").c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(RunTool({"convert", Sample("coffee.bmp"), shared + "/way/x.bmp"}).status, 3);
  EXPECT_FALSE(fs::exists(dir.File("elsewhere/x.bmp")));
  const ToolRun read = RunTool({"info", planted});
  EXPECT_EQ(read.status, 2);
  EXPECT_EQ(read.err, "lumiveil info: " + planted + ": " +
                          Shown(Format(SFOpenError, planted.c_str())) + ": " + why + "\n");
  EXPECT_EQ(ReadBytes(victim), before);

  // The follower's own link is followed, and so is the folder owner's.
  ASSERT_EQ(lchown(planted.c_str(), 0, 0), 0);
  EXPECT_EQ(RunTool({"convert", Sample("coffee.bmp"), planted}).status, 0);
  EXPECT_EQ(ReadBytes(victim), ConvertedPhoto());
  ASSERT_EQ(chown(shared.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(lchown(planted.c_str(), kNobody, kNobody), 0);
  EXPECT_EQ(RunTool({"info", planted}).status, 0);
}
