#pragma once
// The folder of the running program file. Every file the program reads, starts or writes
// lives there; names are joined to it with "/".

#include <string>

// Empty until InitProgramFolder ran.
const std::string& ProgramFolder();
// Sets the folder from the path of the running program (/proc/self/exe).
void InitProgramFolder();
// Sets the folder from a given program file path (used by tests and by InitProgramFolder).
void InitProgramFolder(const std::string& programFile);
// The folder part of a program file path: everything before its last "/". A file directly in
// the root gives the empty text, so that joining "/name" still names the right file.
std::string FolderOfProgramFile(const std::string& programFile);
// ProgramFolder() + "/" + name.
std::string ProgramFile(const std::string& name);
