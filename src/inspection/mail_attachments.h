#pragma once
// The attachment names the rule finds in a whole stored mail, read through the MIME decoder's
// part header lines exactly as the download reads them.

#include <string>
#include <string_view>
#include <vector>

// Every name, in the order of the part header lines that announce it; duplicates possible.
std::vector<std::string> AttachmentNamesOf(std::string_view content);
