#pragma once
// The pictures the program ships, drawn by our own code so that nothing depends on image
// files: the green check mark of the step rows and the program's icon.

#include <QIcon>
#include <QImage>
#include <string_view>

// The check mark as the step rows show it: 18 x 18, transparent around the mark.
QImage CheckMarkImage(int size = 18);

// The program's icon at one size (square): a blue tile with a white letter and a green check.
QImage ProgramIconImage(int size);
// Every usual size in one icon, for the tray and the window.
QIcon ProgramIcon();

// A picture of the form model by its name ("checkmark"); a null image for an unknown name.
QImage PictureByName(std::string_view name, int width, int height);
