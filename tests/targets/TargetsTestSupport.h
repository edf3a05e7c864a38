// The targets tests' pictures (the bundled pair, combined with a band) and the real tools
// they are checked against (oracle.py, run with python3-pil).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "compose/ResizeBitmap.h"
#include "compose/Synthesis.h"
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

// Runs oracle.py: `tool` on `in`, its picture into `out`. False, with the reason in `why`,
// when python3-pil or the tool is missing; a failure of the tool itself fails the test.
inline bool RunOracle(const std::string& tool, TBitmap& in, TBitmap& out, std::string& why) {
  if (RunCommand("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0) {
    why = "python3-pil is not installed (apt-get install python3-pil)";
    return false;
  }
  TempDir dir;
  in.SaveToFile(dir.File("in.bmp"));
  const int status =
      RunCommand("/usr/bin/python3 " + std::string(LUMIVEIL_TEST_SOURCE) + "/oracle.py " + tool +
                 " " + dir.File("in.bmp") + " " + dir.File("out.bmp") + " 2>" + dir.File("err"));
  if (status == 3) {
    why = "the tool for '" + tool + "' is not installed (scripts/install-deps.sh installs it)";
    return false;
  }
  EXPECT_EQ(status, 0) << tool;
  if (status != 0) return false;
  out.LoadFromFile(dir.File("out.bmp"));
  out.SetPixelFormat(TPixelFormat::Bits24);
  return true;
}

#define RUN_ORACLE_OR_SKIP(tool, in, out)      \
  do {                                         \
    std::string why_;                          \
    if (!RunOracle(tool, in, out, why_)) {     \
      if (!HasFailure()) GTEST_SKIP() << why_; \
      return;                                  \
    }                                          \
  } while (false)
