#pragma once
// The desktop's "open" verb. An executable file is started directly; any other file goes to
// xdg-open. When $BRINDLECAP_OPEN names a program, every request goes to that program instead
// (tests record the calls this way). The caller never waits and never hears of a failure.

#include <string>

// Opens `file`. Returns whether a process could be started at all (callers here ignore it).
bool ShellOpen(const std::string& file);
// Shows page `page` of the compiled help file `helpFile`. $BRINDLECAP_OPEN receives the
// joined "helpFile::/page"; without it the help file itself goes to xdg-open, since the
// desktop's viewers take a file, not a page.
bool ShellOpenHelp(const std::string& helpFile, const std::string& page);
