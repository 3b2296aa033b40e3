#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>

#include "clipboard/clipboard_conversion.h"

namespace zun::ui {
namespace {

const QColor kRed(200, 30, 30);
const QColor kBlue(30, 70, 200);
const QColor kYellow(240, 200, 0);

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

// An arrow across the box at height y (fraction of the size), pointing left or right.
void Arrow(QPainter& p, int size, double y, bool left, const QColor& colour) {
  const double s = size;
  const double shaft = s * 0.14;
  const double head = s * 0.32;
  const double tip = left ? s * 0.06 : s * 0.94;
  const double back = left ? s * 0.94 : s * 0.06;
  const double neck = left ? tip + head : tip - head;
  const double cy = s * y;
  QPolygonF shape;
  shape << QPointF(tip, cy) << QPointF(neck, cy - head * 0.7) << QPointF(neck, cy - shaft / 2)
        << QPointF(back, cy - shaft / 2) << QPointF(back, cy + shaft / 2) << QPointF(neck, cy + shaft / 2)
        << QPointF(neck, cy + head * 0.7);
  p.setPen(QPen(colour.darker(140), 1));
  p.setBrush(colour);
  p.drawPolygon(shape);
}

void Cross(QPainter& p, int size) {
  p.setPen(QPen(Qt::black, size * 0.14, Qt::SolidLine, Qt::RoundCap));
  const double a = size * 0.2;
  const double b = size * 0.8;
  p.drawLine(QPointF(a, a), QPointF(b, b));
  p.drawLine(QPointF(a, b), QPointF(b, a));
}

void QuestionMark(QPainter& p, int size) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(static_cast<int>(size * 0.9));
  QPainterPath path;
  path.addText(0, 0, font, "?");
  const QRectF box = path.boundingRect();
  path.translate(size / 2.0 - box.center().x(), size / 2.0 - box.center().y());
  p.setPen(QPen(QColor(120, 90, 0), 1.5));
  p.setBrush(kYellow);
  p.drawPath(path);
}

// A small Palm handheld: the tray's base picture.
void Handheld(QPainter& p, int size, const QColor& screen) {
  const QRectF body(size * 0.22, size * 0.06, size * 0.56, size * 0.88);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(QColor(90, 90, 100));
  p.drawRoundedRect(body, size * 0.08, size * 0.08);
  p.setBrush(screen);
  p.drawRect(QRectF(size * 0.3, size * 0.14, size * 0.4, size * 0.44));
  p.setBrush(QColor(200, 200, 200));
  for (int i = 0; i < 4; ++i) p.drawEllipse(QRectF(size * (0.28 + i * 0.11), size * 0.7, size * 0.08, size * 0.08));
}

// A round 24-pixel badge with a white letter.
QPixmap Badge(const QColor& colour, const char* letter) {
  QPixmap pixmap = Canvas(24);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour.darker(130), 1));
  p.setBrush(colour);
  p.drawEllipse(QRectF(1, 1, 22, 22));
  p.setPen(Qt::white);
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(16);
  p.setFont(font);
  p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, letter);
  return pixmap;
}

}  // namespace

QPixmap DirectionPicture(int number, int size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (number) {
    case 1:
      Cross(p, size);
      break;
    case 2:
      Arrow(p, size, 0.5, true, kRed);
      break;
    case 3:
      Arrow(p, size, 0.5, false, kBlue);
      break;
    case 4:
      Arrow(p, size, 0.3, true, kRed);
      Arrow(p, size, 0.72, false, kBlue);
      break;
    default:
      QuestionMark(p, size);
      break;
  }
  return pixmap;
}

const char* DirectionName(int number) {
  static const char* const kNames[] = {"no conversion", "Palm to PC", "PC to Palm", "both ways", "no task"};
  return kNames[std::clamp(number, 1, 5) - 1];
}

QIcon ListIcon(int action) { return QIcon(DirectionPicture(action, 16)); }

namespace {

QIcon PaintTrayFrame(int frame) {
  constexpr int kSize = 32;
  QPixmap pixmap = Canvas(kSize);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  if (frame == kClipSuccessFrame) {
    Handheld(p, kSize, QColor(120, 220, 120));
    p.setPen(QPen(QColor(0, 110, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 20), QPointF(15, 25));
    p.drawLine(QPointF(15, 25), QPointF(25, 10));
  } else if (frame == kClipFailureFrame) {
    Handheld(p, kSize, QColor(240, 140, 140));
    p.setPen(QPen(QColor(170, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 10), QPointF(21, 22));
    p.drawLine(QPointF(11, 22), QPointF(21, 10));
  } else {
    Handheld(p, kSize, QColor(190, 210, 170));
    if (frame > kTrayRestFrame) {
      // A dot travelling round the screen marks the work going on.
      const double angle = (frame - 1) * 2 * M_PI / 8;
      const QPointF centre(16 + 5 * std::sin(angle), 11.5 - 5 * std::cos(angle));
      p.setPen(Qt::NoPen);
      p.setBrush(kBlue);
      p.drawEllipse(centre, 2.6, 2.6);
    }
  }
  return QIcon(pixmap);
}

}  // namespace

const QIcon& TrayFrame(int frame) {
  static std::array<QIcon, kClipFailureFrame + 1> frames;
  const auto at = static_cast<size_t>(std::clamp(frame, kTrayRestFrame, kClipFailureFrame));
  if (frames[at].isNull()) frames[at] = PaintTrayFrame(static_cast<int>(at));
  return frames[at];
}

QIcon ProgramIcon() { return TrayFrame(kTrayRestFrame); }

QPixmap PromptPicture() {
  QPixmap pixmap = Canvas(32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(150, 110, 0), 1.5));
  p.setBrush(kYellow);
  p.drawEllipse(QRectF(2, 2, 28, 28));
  p.setPen(QPen(Qt::black, 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(16, 8), QPointF(16, 18));
  p.drawPoint(QPointF(16, 24));
  return pixmap;
}

QPixmap HelpPicture() { return Badge(kBlue, "?"); }

QPixmap InfoPicture() { return Badge(QColor(40, 160, 60), "i"); }

}  // namespace zun::ui
