#pragma once
// The numbered text table: the lines of Server.ini, looked up as "id=text".

#include <string>

// Appends the lines of `fileName` to the table. A missing or unreadable file adds nothing and
// is not reported. A NUL byte ends the file's text.
void LoadTextTable(const std::string& fileName);
// The text of `id`: everything after the first "=" of the first line whose part before that
// "=" is the id in decimal; the empty text when no line defines it.
std::string GetTextById(int id);
// Empties the table (tests load several files in turn).
void ClearTextTable();
