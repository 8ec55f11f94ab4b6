// Writes the program's icon as PNG files for the desktop's icon theme:
//   icon_writer <folder>  ->  <folder>/32x32/apps/velk-seed-finder.png
//                             <folder>/48x48/apps/velk-seed-finder.png
// The window draws the same picture at run time.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "platform/toolkit/qt/qt_internal.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  for (int size : {32, 48}) {
    QString folder =
        QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
    if (!QDir().mkpath(folder)) return 1;
    QImage image = velk::platform::DrawAppIcon(size);
    if (!image.save(folder + "/velk-seed-finder.png", "PNG")) return 1;
  }
  return 0;
}
