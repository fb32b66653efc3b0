#pragma once
// The desktop front end of the program: opens the display, draws the main form and its tray
// icon, answers message boxes and lets Qt drive the message loop.

class TForm;

// Returns false, having changed nothing, when no display can be opened; the program then runs
// headless. Otherwise the form is shown as its model says from now on, and
// Application->Run() runs Qt's event loop. The front end lets go of the form when the form is
// destroyed.
bool AttachQtFrontEnd(int& argc, char** argv, TForm& mainForm);
