// The run-length encoder: sends only codes for single pixels and for runs of one pixel
// value, and steers the decoder's table so that every standard GIF decoder reproduces the
// pixels without the encoder matching strings.
//
// After a clear, sending pixel v and then the codes base, base + 1, base + 2, ... (each
// equal to the decoder's next free code) makes the decoder define those codes as runs of
// 2, 3, 4, ... copies of v. The encoder keeps track of how many codes the decoder has
// seen since its last clear (out-count), so it knows the decoder's code width and when
// to clear, and chooses between repeating literals, reusing the run codes of its table
// and clearing by counting codes (TriangleCost), never by trial encoding.
#pragma once

#include <cstdint>

#include "gif/GIFEncoder.h"

class TRLEEncoder final : public TGIFEncoder {
 public:
  // Codes after which a table of 1 to 3 bits per pixel is cleared. Clear code - 2, the
  // count that keeps wider tables at their first code width, would leave only 2 or 6
  // codes between clears (clear code 4 or 8), too few for the run table to pay off; these
  // small tables let the width grow one step and clear after nine codes. The count
  // shapes every such code stream, so it is fixed.
  static constexpr int kSmallTableOutClear = 9;

  // The number of codes needed to send count pixels as runs of 1, 2, 3, ... after a
  // clear, when at most `limit` codes fit between two clears.
  static int64_t TriangleCost(int64_t count, int64_t limit);

 protected:
  void EmitClear() override;
  void EncodePixels() override;

 private:
  template <bool kCheckColors>
  void Encode();
  template <bool kCheckColors>
  const uint8_t* SendSingles(const uint8_t* p, const uint8_t* end, uint32_t color_count);
  void PlainOutput(uint32_t code);
  void RunFromClear(int64_t count);
  void RestoreOutClear();
  void RunByRepetitionOrClear(int64_t count);
  void RunWithTable(int64_t count);
  void FlushRun(int64_t count);

  int max_codes_ = 0;        // table codes usable between two clears: 4095 - base code
  int out_bump_start_ = 0;   // codes after a clear until the decoder's width first grows
  int out_bump_ = 0;         // codes after which the decoder's width grows next
  int out_clear_start_ = 0;  // kSmallTableOutClear up to 3 bits, else clear code - 2
  int out_clear_ = 0;        // codes after which a clear is sent
  int out_count_ = 0;        // codes sent since the last clear
  int run_pixel_ = -1;       // the value of the run being collected
  // The decoder's table holds runs of 2 .. run_table_max_ copies of run_table_pixel_ at
  // the codes base + k - 2.
  int run_table_pixel_ = -1;
  int64_t run_table_max_ = 0;
};
