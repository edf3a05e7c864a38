// The two scores (Scores.h) said in words, for a person who does not read decibels: how
// much the hidden cells show in the normal view, and how well the hidden picture comes
// back. Each score has a few bands, from its highest figure down; the bands and their words
// are one table per score, which the tool tips list as well.
#pragma once

#include <optional>
#include <span>
#include <string>

// One band of a score: figures from `from_db` up (to the next band's start) get `words`.
struct TScoreBand {
  double from_db;
  const char* words;
};

// The bands, highest first; the last starts at minus infinity.
std::span<const TScoreBand> VisibleScoreBands();
std::span<const TScoreBand> HiddenScoreBands();

// The words for a visible score, and for a hidden score (none: the picture has no odd
// cells). An infinite hidden score (no difference at all) comes back exactly.
std::string VisibleScoreWords(double psnr);
std::string HiddenScoreWords(std::optional<double> psnr);

// The thresholds of both scores, one line each band with the root-mean-square difference
// (in levels of 255) that its start stands for, for a tool tip.
std::string ScoreBandsText();
