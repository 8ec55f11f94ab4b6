// The program's icon: a seed under a magnifying glass on a rounded green
// tile. Drawn in code so that every size comes from one picture.
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "platform/toolkit/qt/qt_internal.h"

namespace velk::platform {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Everything is drawn on a 48-unit grid and scaled to the wanted size.
  p.scale(size / 48.0, size / 48.0);

  QLinearGradient tile(0, 0, 0, 48);
  tile.setColorAt(0, QColor(0x2e, 0xb8, 0x6b));
  tile.setColorAt(1, QColor(0x13, 0x7a, 0x45));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(1, 1, 46, 46), 9, 9);

  // The seed: a drop shape with a light stripe.
  QPainterPath seed;
  seed.moveTo(20, 9);
  seed.cubicTo(29, 15, 29, 28, 20, 31);
  seed.cubicTo(11, 28, 11, 15, 20, 9);
  p.setBrush(QColor(0xf6, 0xc3, 0x4a));
  p.drawPath(seed);
  p.setPen(QPen(QColor(0xfd, 0xea, 0xb0), 1.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(20, 13), QPointF(20, 27));

  // The magnifying glass over it.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 4));
  p.drawEllipse(QPointF(20, 20), 13, 13);
  p.setPen(QPen(Qt::white, 6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(30, 30), QPointF(41, 41));
  p.end();
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(DrawAppIcon(32)));
  icon.addPixmap(QPixmap::fromImage(DrawAppIcon(48)));
  return icon;
}

}  // namespace velk::platform
