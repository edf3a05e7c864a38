// Told exactly: each refusal of the tool with its exit status (0 done, 1 usage, 2 input, 3
// work or save) and its message as a person reads it on standard error.
#include <gtest/gtest.h>
#include <ostream>

#include <filesystem>

#include "tests/hostile/HostileSupport.h"

namespace fs = std::filesystem;

namespace {

struct ToldCase {
  const char* name;
  // Tests are listed by the case name, not by the bytes of the case.
  friend void PrintTo(const ToldCase& c, std::ostream* os) { *os << c.name; }
  std::vector<std::string> args;  // {dir} stands for the case's folder, {photo} for a photo
  int status;
  std::string err;  // with {dir} and {plugins} (the shipped plug-ins' folder) filled in
};

std::string Fill(std::string text, const std::string& dir) {
  const std::pair<std::string, std::string> fills[] = {
      {"{dir}", dir},
      {"{photo}", Sample("coffee.bmp")},
      {"{plugins}", std::string(LUMIVEIL_BIN_DIR) + "/SusiePlugin"}};
  for (const auto& [key, value] : fills)
    for (size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  return text;
}

}  // namespace

class Told : public testing::TestWithParam<ToldCase> {};

TEST_P(Told, ExitsWithItsStatusAndMessage) {
  TempDir dir;
  const std::string folder = dir.File("");
  fs::create_directory(dir.File("folder"));
  std::vector<uint8_t> jpeg = ReadBytes(Sample("rocket.jpg"));
  jpeg.resize(200);  // cut inside its tables
  WriteBytes(dir.File("damaged.jpg"), jpeg);
  WriteText(dir.File("text.png"), "not a picture\n");
  fs::copy_file(Sample("coffee.bmp"), dir.File("-o"));
  std::vector<uint8_t> bmp = ReadBytes(Sample("coffee.bmp"));
  bmp.resize(300000);  // 166 whole rows of 400 after the headers, and part of one
  WriteBytes(dir.File("cut.bmp"), bmp);
  jpeg = ReadBytes(Sample("rocket.jpg"));
  jpeg.resize(jpeg.size() / 2);  // inside its one scan
  WriteBytes(dir.File("cut.jpg"), jpeg);
  WriteBytes(dir.File("wide.png"), BlackPng(1000001, 1));
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args)
    args.push_back(Fill(a, folder.substr(0, folder.size() - 1)));
  const ToolRun run = RunTool(args);
  EXPECT_EQ(run.status, GetParam().status);
  EXPECT_EQ(run.err, Fill(GetParam().err, folder.substr(0, folder.size() - 1)));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, Told,
    testing::Values(
        ToldCase{"missing_input",
                 {"convert", "{dir}/missing.bmp", "{dir}/out.bmp"},
                 2,
                 "lumiveil convert: {dir}/missing.bmp: no such file\n"},
        ToldCase{"directory_as_input",
                 {"info", "{dir}/folder"},
                 2,
                 "lumiveil info: {dir}/folder: is a directory, not a picture file\n"},
        ToldCase{"damaged_jpeg",
                 {"info", "{dir}/damaged.jpg"},
                 2,
                 "lumiveil info: {dir}/damaged.jpg: 認識できない画像形式です [unrecognised picture "
                 "format]: plug-in "
                 "{plugins}/jpeg.spi recognised the file's head, then failed: GetPicture "
                 "returned 3 (damaged data)\n"},
        ToldCase{"not_a_picture",
                 {"info", "{dir}/text.png"},
                 2,
                 "lumiveil info: {dir}/text.png: 認識できない画像形式です [unrecognised picture "
                 "format]\n"},
        ToldCase{"empty_output_name",
                 {"convert", "{photo}", ""},
                 1,
                 "lumiveil convert: the output file name is empty\n"
                 "usage: lumiveil convert IN OUT\n"},
        ToldCase{"empty_resize_output",
                 {"resize", "{photo}", "", "5", "5"},
                 1,
                 "lumiveil resize: the output file name is empty\n"
                 "usage: lumiveil resize IN OUT WIDTH HEIGHT\n"},
        ToldCase{"empty_gif_output",
                 {"gif", "{photo}", ""},
                 1,
                 "lumiveil gif: the output file name is empty\nusage: lumiveil gif IN OUT "
                 "[--reduction R] [--dither D] [--bits N] [--compression lzw|rle] [--interlace]\n"
                 "       lumiveil gif IN OUT --panel\n"},
        ToldCase{"height_beyond_32_bits_of_width",
                 {"synth", "{photo}", "{photo}", "-o", "{dir}/s.bmp", "--height", "2147483647"},
                 3,
                 "lumiveil synth: 画像が大きすぎます (3221225470 x 2147483647, 24 ビット/ピクセル, "
                 "上限 1073741824 バイト) [the picture is too large (3221225470 x 2147483647, 24 "
                 "bits per pixel, limit 1073741824 bytes)]\n"},
        ToldCase{"width_over_the_limit",
                 {"synth", "{photo}", "{photo}", "-o", "{dir}/s.bmp", "--width", "40000"},
                 3,
                 "lumiveil synth: 画像が大きすぎます (40000 x 26666, 24 ビット/ピクセル, 上限 "
                 "1073741824 バイト) [the picture is too large (40000 x 26666, 24 bits per "
                 "pixel, limit 1073741824 bytes)]\n"},
        ToldCase{"leading_space_in_a_number",
                 {"resize", "{photo}", "{dir}/r.bmp", " 7", "5"},
                 1,
                 "lumiveil resize: WIDTH must be a whole number of at least 1, not ' 7'\n"
                 "usage: lumiveil resize IN OUT WIDTH HEIGHT\n"},
        ToldCase{"plus_sign_in_a_number",
                 {"synth", "{photo}", "{photo}", "-o", "{dir}/s.bmp", "--average", "+7"},
                 1,
                 "lumiveil synth: --average must be a whole number from 0 to 255, not '+7'\n"
                 "usage: lumiveil synth VISIBLE HIDDEN -o OUT [--average A] [--contrast C] "
                 "[--width X | --height Y] [--preview] [--gif | --indexed [--palette P]] "
                 "[--report] [--check TARGET]...\n       [--target TARGET] [--auto [--min-visible "
                 "DB]]\n"},
        ToldCase{"leading_space_in_an_option",
                 {"synth", "{photo}", "{photo}", "-o", "{dir}/s.bmp", "--height", " 7"},
                 1,
                 "lumiveil synth: --height must be a whole number from 1 to 2147483647, not ' 7'\n"
                 "usage: lumiveil synth VISIBLE HIDDEN -o OUT [--average A] [--contrast C] "
                 "[--width X | --height Y] [--preview] [--gif | --indexed [--palette P]] "
                 "[--report] [--check TARGET]...\n       [--target TARGET] [--auto [--min-visible "
                 "DB]]\n"},
        // What went into a descriptor the shell set up cannot be read back and checked.
        ToldCase{"check_of_a_held_descriptor",
                 {"synth", "{photo}", "{photo}", "-o", "/dev/fd/1", "--check", "all"},
                 1,
                 "lumiveil synth: --check looks at the file written: give an OUT file\n"
                 "usage: lumiveil synth VISIBLE HIDDEN -o OUT [--average A] [--contrast C] "
                 "[--width X | --height Y] [--preview] [--gif | --indexed [--palette P]] "
                 "[--report] [--check TARGET]...\n       [--target TARGET] [--auto [--min-visible "
                 "DB]]\n"},
        ToldCase{"folder_as_output",
                 {"convert", "{photo}", "{dir}/folder"},
                 3,
                 "lumiveil convert: ファイル {dir}/folder を作成できません [cannot create file "
                 "{dir}/folder]: it is a directory; only "
                 "a regular file, a character device or a FIFO can be written\n"},
        ToldCase{"write_failure_with_the_reason",
                 {"convert", "{photo}", "/dev/full"},
                 3,
                 "lumiveil convert: ストリームへの書き込みエラー [stream write error]: No space "
                 "left on device\n"},
        ToldCase{
            "double_dash_ends_the_options", {"convert", "--", "{dir}/-o", "{dir}/--gif"}, 0, ""},
        ToldCase{"cut_bmp_is_read_with_a_note",
                 {"info", "{dir}/cut.bmp"},
                 0,
                 "lumiveil info: note: {dir}/cut.bmp: cut short: the missing rows are black (the "
                 "top 234 of 400 rows)\n"},
        ToldCase{"cut_jpeg_is_read_with_a_note",
                 {"convert", "{dir}/cut.jpg", "{dir}/cut.bmp"},
                 0,
                 "lumiveil convert: note: {dir}/cut.jpg: cut short: the missing rows are grey\n"},
        ToldCase{"png_wider_than_a_million_is_read",
                 {"convert", "{dir}/wide.png", "{dir}/wide.bmp"},
                 0,
                 ""},
        ToldCase{"output_in_a_missing_folder",
                 {"convert", "{photo}", "{dir}/missing/out.bmp"},
                 3,
                 "lumiveil convert: ファイル {dir}/missing/out.bmp を作成できません [cannot create "
                 "file {dir}/missing/out.bmp]: No such file "
                 "or directory\n"}),
    [](const testing::TestParamInfo<ToldCase>& info) { return std::string(info.param.name); });

// What the tool printed to standard output is checked when it ends: output that could not
// be written fails the run with exit status 3 and one message, where it once exited 0.
TEST(Told, TextThatCannotBeWrittenFailsTheRun) {
  TempDir dir;
  const std::string tool = "'" + ToolPath() + "'";
  const std::string photo = "'" + Sample("coffee.bmp") + "'";
  const std::string out = "'" + dir.File("s.bmp") + "'";
  const std::pair<std::string, std::string> cases[] = {
      {"info", "info " + photo},
      {"plugins", "plugins"},
      {"reveal", "reveal " + photo + " -o " + out},
      {"synth", "synth " + photo + " " + photo + " -o " + out + " --report"},
      {"help", "help synth"}};
  for (const auto& [name, args] : cases) {
    const std::string err = dir.File("err");
    EXPECT_EQ(RunCommand(tool + " " + args + " > /dev/full 2> '" + err + "'"), 3) << name;
    const std::string who = name == "help" ? "lumiveil" : "lumiveil " + name;
    EXPECT_EQ(ReadText(err), who + ": write error on standard output: No space left on device\n");
  }
}

// A file that cannot be opened is told with the system's reason, as outputs are.
TEST(Told, AnInputThatCannotBeOpenedIsToldWithTheSystemsReason) {
  TempDir dir;
  const std::string file = dir.File("secret.bmp");
  fs::copy_file(Sample("coffee.bmp"), file);
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  ToolOptions options;
  options.env = {{"XDG_CONFIG_HOME", dir.File("")}};  // a folder the user may read, no file
  if (geteuid() == 0) options.user = kNobody;         // root would read the file anyway
  const ToolRun run = RunTool({"info", file}, options);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "lumiveil info: " + file + ": " + Shown(Format(SFOpenError, file.c_str())) +
                         ": Permission denied\n");
}

// A thread setting that is no count is told, and the work runs as without it.
TEST(Told, AnInvalidThreadSettingIsToldAndTheDefaultUsed) {
  for (const char* value : {"", "two", "0", "-3", "4x"}) {
    const ToolRun run = RunTool({"info", Sample("coffee.bmp")}, "", {{"LUMIVEIL_THREADS", value}});
    EXPECT_EQ(run.status, 0);
    const std::string told = std::string("lumiveil info: note: LUMIVEIL_THREADS='") + value +
                             "' is not a whole number from 1 up; the work runs on one thread per "
                             "processor core (";
    EXPECT_EQ(run.err.substr(0, told.size()), told) << value;
  }
  EXPECT_EQ(RunTool({"info", Sample("coffee.bmp")}, "", {{"LUMIVEIL_THREADS", "3"}}).err, "");
}
