// Writes the program's icon as PNG files for the desktop's icon theme, drawn by the same code
// that draws the tray icon: make_icon FOLDER writes FOLDER/hicolor/SIZExSIZE/apps/brindlecap.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "gui/pictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon FOLDER\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString root = QString::fromLocal8Bit(argv[1]);
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
    if (!QDir().mkpath(folder) || !ProgramIconImage(size).save(folder + "/brindlecap.png")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(folder));
      return 1;
    }
  }
  return 0;
}
