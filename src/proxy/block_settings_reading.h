#pragma once
// The attachment policy's settings, read afresh through the registry routines at every run.

#include "inspection/block_settings.h"

// Reads "Aktion", the three group switches, when the user's group is on "Others", and
// "StrictAttachmentNames" (on only when it reads exactly 1).
// A value that cannot be read as a number raises the registry routines' error.
TBlockPolicy ReadBlockPolicy();

// "CheckBox_SendError" reads exactly 1.
bool ReportMailWanted();
