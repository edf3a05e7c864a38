// The targets tests' pictures (the bundled pair, combined with a band) and the real tools
// they are checked against (oracle.py, run with python3-pil).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
#include "platform/MemoryStream.h"
#include "raster/Bitmap.h"
#include "reveal/Band.h"
#include "reveal/Scores.h"
#include "tests/common/RunTool.h"
#include "tests/common/TestFiles.h"

// The bundled pair (coffee visible, chelsea hidden) at width x height.
struct TPair {
  TBitmap visible, hidden;
};

inline void LoadPair(TPair& p, int width = 600, int height = 400) {
  p.visible.LoadFromFile(Sample("coffee.bmp"));
  p.hidden.LoadFromFile(Sample("chelsea.bmp"));
  for (TBitmap* b : {&p.visible, &p.hidden}) {
    b->SetPixelFormat(TPixelFormat::Bits24);
    ResizeBitmap(*b, width, height);
  }
}

inline void Combine(const TPair& pair, const TToneBand& band, TBitmap& result) {
  TBitmap hidden;
  hidden.Assign(&pair.hidden);
  Synthesize(result, pair.visible, hidden, band.average, band.contrast);
}

// The PSNR of two 24-bit pictures of one size over every byte.
inline double PicturePsnr(const TBitmap& a, const TBitmap& b) {
  return VisiblePsnr(a, b);
}

// The command-line tool run through the shell, its standard output and error kept (with
// the line ends of Windows taken out) in out_ and err_.
class TToolTest : public testing::Test {
 protected:
  int Run(const std::string& arguments) {
    const std::string out = dir_.File("stdout.txt"), err = dir_.File("stderr.txt");
    const int status = RunCommand(ToolPath() + " " + arguments + " >" + out + " 2>" + err);
    out_ = Text(out);
    err_ = Text(err);
    return status;
  }
  static std::string Bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static std::string Text(const std::string& file) {
    std::string s = Bytes(file);
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
  }

  TempDir dir_;
  std::string out_, err_;
};

// Jobs for oracle.py, run together in one process (starting Python and Pillow is most of
// a job's cost): Add queues a tool on a picture, Run runs them all, Result(i) is what job i
// made. Run is false, with the reason in `why`, when python3-pil or a tool is missing; a
// failure of a tool itself fails the test.
class TOracleBatch {
 public:
  size_t Add(const std::string& tool, TBitmap& in) {
    const std::string n = std::to_string(jobs_.size());
    // Written plainly: the safe save's flush to disk would cost more than the job.
    TMemoryStream bmp;
    in.SaveToStream(bmp);
    std::ofstream(dir_.File("in" + n + ".bmp"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.Memory()), bmp.Size());
    jobs_.push_back(tool + " " + dir_.File("in" + n + ".bmp") + " " +
                    dir_.File("out" + n + ".bmp"));
    return jobs_.size() - 1;
  }

  bool Run(std::string& why) {
    if (RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
      why = "python3-pil is not installed (apt-get install python3-pil)";
      return false;
    }
    {
      std::ofstream list(dir_.File("jobs"));
      for (const std::string& job : jobs_) list << job << "\n";
    }
    const int status =
        RunCommand("/usr/bin/python3 " + std::string(LUMIVEIL_TEST_SOURCE) + "/oracle.py --batch " +
                   dir_.File("jobs") + " 2>" + dir_.File("err"));
    if (status == 3) {
      why = "a tool of the oracles is not installed (scripts/install-deps.sh installs them)";
      return false;
    }
    EXPECT_EQ(status, 0) << "oracle.py";
    if (status != 0) return false;
    for (size_t i = 0; i < jobs_.size(); ++i) {
      TBitmap& result = *results_.emplace_back(std::make_unique<TBitmap>());
      result.LoadFromFile(dir_.File("out" + std::to_string(i) + ".bmp"));
      result.SetPixelFormat(TPixelFormat::Bits24);
    }
    return true;
  }

  const TBitmap& Result(size_t i) const { return *results_.at(i); }

 private:
  TempDir dir_;
  std::vector<std::string> jobs_;
  std::vector<std::unique_ptr<TBitmap>> results_;
};

#define RUN_ORACLES_OR_SKIP(batch)             \
  do {                                         \
    std::string why_;                          \
    if (!(batch).Run(why_)) {                  \
      if (!HasFailure()) GTEST_SKIP() << why_; \
      return;                                  \
    }                                          \
  } while (false)
