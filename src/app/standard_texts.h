#pragma once
// The texts of ids 100 to 126, read from the table once at start-up, and their replacement of
// the windowing layer's own dialog and button texts.

#include <array>
#include <string>

constexpr int FirstStandardTextId = 100;
constexpr int StandardTextCount = 27;

// Slot i holds the text of id 100 + i.
extern std::array<std::string, StandardTextCount> StandardTexts;

// Fills StandardTexts from the text table.
void ReadStandardTexts();
// Replaces every dialog and button text by its slot; an empty slot makes the text empty.
// Id 109 is read but replaces nothing.
void PatchStandardTexts();
