#pragma once
// The quarantine's two settings in the program's key:
//   "Quarantine"      1 or absent: keep a copy of each mail before the delete action removes
//                     it; 0: delete without a copy
//   "QuarantineDays"  copies older than this many days are removed at start-up; absent: 30;
//                     0 or less: copies are kept until the user removes them

#include <string>

inline constexpr int kDefaultQuarantineDays = 30;

struct TQuarantineSettings {
  bool Enabled = true;
  int Days = kDefaultQuarantineDays;
  // A value that could not be read (it then counts as its default); empty when all was well.
  std::string Problem;
};

// Reads both values afresh from the settings store.
TQuarantineSettings ReadQuarantineSettings();
