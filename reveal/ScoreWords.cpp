#include "reveal/ScoreWords.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr double kBottom = -std::numeric_limits<double>::infinity();

// The visible score compares every cell with the visible picture. The even cells are the
// visible picture's own, so the figure is 3 dB above that of the odd cells alone: the
// difference it stands for is the odd cells' (what the eye mixes into the visible picture
// in the normal view), sqrt(2) times that of all cells.
constexpr TScoreBand kVisibleBands[] = {
    {30, "the hidden picture does not show"},
    {20, "the hidden picture shows faintly"},
    {12, "the hidden cells lie over the visible picture as a veil"},
    {kBottom, "the hidden cells lie over the visible picture as a strong veil"},
};
constexpr double kVisibleCells = 1.4142135623730951;

// The hidden score: the odd cells mapped back through the band against the hidden picture.
constexpr TScoreBand kHiddenBands[] = {
    {40, "it comes back nearly exactly"},
    {30, "it comes back well, with slight banding"},
    {20, "it comes back coarsely, in few tones"},
    {kBottom, "it hardly comes back"},
};

const char* WordsFor(std::span<const TScoreBand> bands, double psnr) {
  for (const TScoreBand& band : bands)
    if (psnr >= band.from_db) return band.words;
  return bands.back().words;
}

// The root-mean-square difference in levels that a figure stands for: 10 log10(255^2 / MSE)
// turned round, times `cells` (see kVisibleCells).
double Rms(double psnr, double cells) {
  return 255 / std::pow(10, psnr / 20) * cells;
}

std::string BandLines(const char* title, std::span<const TScoreBand> bands, double cells) {
  std::string text = title;
  char line[160];
  for (size_t i = 0; i < bands.size(); ++i) {
    if (i + 1 < bands.size())
      std::snprintf(line, sizeof line, "\n  %g dB and up (RMS difference up to %.1f levels): %s",
                    bands[i].from_db, Rms(bands[i].from_db, cells), bands[i].words);
    else
      std::snprintf(line, sizeof line, "\n  below %g dB: %s", bands[i - 1].from_db, bands[i].words);
    text += line;
  }
  return text;
}

}  // namespace

std::span<const TScoreBand> VisibleScoreBands() {
  return kVisibleBands;
}

std::span<const TScoreBand> HiddenScoreBands() {
  return kHiddenBands;
}

std::string VisibleScoreWords(double psnr) {
  return WordsFor(kVisibleBands, psnr);
}

std::string HiddenScoreWords(std::optional<double> psnr) {
  if (!psnr) return "there are no hidden cells to get it back from";
  if (std::isinf(*psnr)) return "it comes back exactly";
  return WordsFor(kHiddenBands, *psnr);
}

std::string ScoreBandsText() {
  return BandLines("Normal view (visible PSNR):", kVisibleBands, kVisibleCells) + "\n" +
         BandLines("Hidden picture (hidden PSNR):", kHiddenBands, 1);
}
