// lumiveil reveal and synth --report, run as programs: the views' bytes are the library's,
// the band is given, stored or found as the file allows and the output says which, and the
// scores are the library's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "compose/Workflow.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "reveal/Scores.h"
#include "reveal/Views.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"
#include "tests/reveal/PngFiles.h"

namespace {

const std::string kVisible = std::string(LUMIVEIL_SAMPLES) + "/coffee.bmp";
const std::string kHidden = std::string(LUMIVEIL_SAMPLES) + "/chelsea.bmp";

std::string Read(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string BmpBytes(TBitmap& bitmap) {
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()),
                     static_cast<size_t>(stream.Size()));
}

std::string Decibels(double psnr) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", psnr);
  return text;
}

// The result of synth with the band, as the library makes it.
void Synthesis(TWorkflow& w, int average, int contrast) {
  ASSERT_TRUE(w.LoadExternalImage([](TBitmap& s) { s.LoadFromFile(kVisible); }));
  ASSERT_TRUE(w.LoadInnerImage([](TBitmap& s) { s.LoadFromFile(kHidden); }));
  w.AverageTrackBarChange(average);
  w.MinMaxTrackBarChange(contrast);
  w.Synthesize();
}

class CliReveal : public testing::Test {
 protected:
  // Runs lumiveil; the exit status, standard output in out_ and standard error in err_.
  // Both as text: a Windows tool ends its lines with CR LF.
  int Run(const std::string& arguments) {
    const std::string out = dir_.File("stdout.txt"), err = dir_.File("stderr.txt");
    const int status = RunCommand(ToolPath() + " " + arguments + " >" + out + " 2>" + err);
    out_ = Text(Read(out));
    err_ = Text(Read(err));
    return status;
  }
  static std::string Text(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
  }
  std::string File(const char* name) const { return dir_.File(name); }

  TempDir dir_;
  std::string out_, err_;
};

TEST_F(CliReveal, WritesTheLibrarysViewForAGivenBand) {
  TWorkflow w;
  Synthesis(w, 90, 60);
  w.ResultBitmap().SaveToFile(File("r.bmp"));
  for (const TViewRow& row : ViewTable()) {
    const TRevealView view = row.value;
    const std::string name = row.name;
    ASSERT_EQ(Run("reveal " + File("r.bmp") + " -o " + File("v.bmp") + " --view " + name +
                  " --size 100 --filter bilinear --average 90 --contrast 60"),
              0)
        << err_;
    EXPECT_EQ(out_, "band: given\naverage: 90\ncontrast: 60\n");
    TViewOptions o;
    o.view = view;
    o.size = 100;
    o.filter = TThumbnailFilter::tfBilinear;
    o.band = {90, 60};
    TBitmap expected;
    MakeView(w.ResultBitmap(), o, expected);
    EXPECT_TRUE(Read(File("v.bmp")) == BmpBytes(expected)) << name;
  }
}

TEST_F(CliReveal, FindsTheStoredBandInAPngAndSaysSo) {
  TWorkflow w;
  Synthesis(w, 200, 55);
  ASSERT_TRUE(WritePng(w.ResultBitmap(), File("r.png"),
                       {{"Lumiveil", "average=200 contrast=55 version=0.1.0"}}));
  ASSERT_EQ(Run("reveal " + File("r.png") + " -o " + File("h.bmp") + " --view hidden"), 0) << err_;
  EXPECT_EQ(out_, "band: stored\naverage: 200\ncontrast: 55\nversion: 0.1.0\n");
  TViewOptions o;
  o.view = TRevealView::rvHidden;
  o.band = {200, 55};
  TBitmap expected;
  MakeView(w.ResultBitmap(), o, expected);
  EXPECT_TRUE(Read(File("h.bmp")) == BmpBytes(expected));
  // A given band wins over the stored one.
  ASSERT_EQ(Run("reveal " + File("r.png") + " -o " + File("h.bmp") + " --average 1 --contrast 1"),
            0);
  EXPECT_EQ(out_.substr(0, 12), "band: given\n");
}

TEST_F(CliReveal, FindsTheBandFromThePictureWithoutAChunkOrWithABadOne) {
  TWorkflow w;
  Synthesis(w, 128, 127);
  const TToneBand found = FindBand(w.ResultBitmap()).band;
  const std::string lines = "band: found\naverage: " + std::to_string(found.average) +
                            "\ncontrast: " + std::to_string(found.contrast) + "\n";
  w.ResultBitmap().SaveToFile(File("r.bmp"));
  ASSERT_EQ(Run("reveal " + File("r.bmp") + " -o " + File("s.bmp")), 0) << err_;
  EXPECT_EQ(out_, lines);
  ASSERT_TRUE(WritePng(w.ResultBitmap(), File("bad.png"),
                       {{"Lumiveil", "average=200 contrast=99 version=0.1.0"}}));
  ASSERT_EQ(Run("reveal " + File("bad.png") + " -o " + File("s.bmp") + " --view odd"), 0) << err_;
  EXPECT_EQ(out_, lines);
  EXPECT_NE(err_.find("bad.png: the \"Lumiveil\" text chunk is not used"), std::string::npos)
      << err_;
}

// A chunk that records another size than the picture's (copied into a resized copy) is
// not used; the note says so. --grey recovers and scores the hidden picture in luminance.
TEST_F(CliReveal, IgnoresAStaleChunkAndRecoversInGrey) {
  TWorkflow w;
  Synthesis(w, 200, 40);
  ASSERT_TRUE(
      WritePng(w.ResultBitmap(), File("r.png"),
               {{"Lumiveil", "average=200 contrast=40 version=0.1.0 width=1200 height=800"}}));
  ASSERT_EQ(Run("reveal " + File("r.png") + " -o " + File("h.bmp") + " --view hidden --grey" +
                " --hidden " + kHidden),
            0)
      << err_;
  const TToneBand found = FindBand(w.ResultBitmap()).band;
  EXPECT_EQ(out_.substr(0, 12), "band: found\n");
  EXPECT_NE(err_.find("describes a 1200 x 800 picture, not this 600 x 400 one"), std::string::npos)
      << err_;
  TViewOptions o;
  o.view = TRevealView::rvHidden;
  o.band = found;
  o.grey = true;
  TBitmap expected;
  MakeView(w.ResultBitmap(), o, expected);
  EXPECT_TRUE(Read(File("h.bmp")) == BmpBytes(expected));
  EXPECT_NE(out_.find("hidden-psnr: " +
                      Decibels(*HiddenGreyPsnr(w.ResultBitmap(), w.InnerBitmap(), found))),
            std::string::npos)
      << out_;
}

TEST_F(CliReveal, PrintsTheLibrarysScoresAsSynthReportDoes) {
  TWorkflow w;
  Synthesis(w, 100, 40);
  const std::string scores =
      "visible-psnr: " + Decibels(VisiblePsnr(w.ResultBitmap(), w.ExternalBitmap())) +
      "\nhidden-psnr: " + Decibels(*HiddenPsnr(w.ResultBitmap(), w.InnerBitmap(), {100, 40})) +
      "\n";
  ASSERT_EQ(Run("synth " + kVisible + " " + kHidden + " -o " + File("r.bmp") +
                " --average 100 --contrast 40 --report"),
            0)
      << err_;
  EXPECT_EQ(out_, "average: 100\ncontrast: 40\n" + scores);
  // The hidden picture as given (451 x 300) is fitted to the result's size (600 x 400).
  ASSERT_EQ(Run("reveal " + File("r.bmp") + " -o " + File("s.bmp") + " --visible " + kVisible +
                " --hidden " + kHidden + " --average 100 --contrast 40"),
            0)
      << err_;
  EXPECT_EQ(out_, "band: given\naverage: 100\ncontrast: 40\n" + scores);
  // A preview is unmapped: the identity band, and the hidden picture comes back exactly.
  ASSERT_EQ(
      Run("synth " + kVisible + " " + kHidden + " -o " + File("p.bmp") + " --preview --report"), 0);
  EXPECT_NE(out_.find("average: 128\ncontrast: 128\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("hidden-psnr: inf\n"), std::string::npos) << out_;
}

TEST_F(CliReveal, RefusesBadUsageAndUnreadableInputWithoutWritingAFile) {
  TWorkflow w;
  Synthesis(w, 128, 127);
  w.ResultBitmap().SaveToFile(File("r.bmp"));
  const std::string r = File("r.bmp"), o = " -o " + File("x.bmp");
  EXPECT_EQ(Run("reveal " + r), 1);
  EXPECT_EQ(Run("reveal " + r + o + " --view sideways"), 1);
  EXPECT_NE(err_.find("sideways"), std::string::npos);
  EXPECT_EQ(Run("reveal " + r + o + " --filter cubic"), 1);
  EXPECT_EQ(Run("reveal " + r + o + " --size 0"), 1);
  EXPECT_EQ(Run("reveal " + r + o + " --average 100"), 1);
  EXPECT_EQ(Run("reveal " + File("missing.bmp") + o), 2);
  EXPECT_NE(err_.find("missing.bmp"), std::string::npos);
  EXPECT_EQ(Run("reveal " + r + o + " --hidden " + File("missing.png")), 2);
  std::ofstream(File("junk.bmp")) << "not a picture";
  EXPECT_EQ(Run("reveal " + File("junk.bmp") + o), 2);
  EXPECT_FALSE(std::filesystem::exists(File("x.bmp")));
  // A contrast beyond the average's limit is lowered with a note, as synth does.
  ASSERT_EQ(Run("reveal " + r + o + " --average 200 --contrast 100"), 0);
  EXPECT_NE(err_.find("contrast 100 lowered to 55"), std::string::npos) << err_;
  EXPECT_EQ(out_, "band: given\naverage: 200\ncontrast: 55\n");
}

}  // namespace
