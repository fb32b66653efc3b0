#pragma once
// The attachment policy's settings, read afresh through the registry routines at every run.

#include "inspection/block_settings.h"

// Reads "Aktion", the three group switches and, when the user's group is on, "Others".
// A value that cannot be read as a number raises the registry routines' error.
TBlockPolicy ReadBlockPolicy();

// "CheckBox_SendError" reads exactly 1.
bool ReportMailWanted();
