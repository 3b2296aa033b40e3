#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "clipboard/clipboard_conversion.h"

namespace zun::ui {
namespace {

const QColor kRed(200, 30, 30);
const QColor kBlue(30, 70, 200);
const QColor kYellow(240, 200, 0);
// Graphics need 3:1 against what they stand on; a little more keeps antialiased edges clear.
constexpr double kPictureContrast = 3.3;

double Channel(double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); }

double Luminance(const QColor& colour) {
  return 0.2126 * Channel(colour.redF()) + 0.7152 * Channel(colour.greenF()) + 0.0722 * Channel(colour.blueF());
}

double WorstContrast(const QColor& colour, std::initializer_list<QColor> backgrounds) {
  double worst = 21;
  for (const QColor& background : backgrounds) worst = std::min(worst, ContrastRatio(colour, background));
  return worst;
}

// The edge of a shape: a shade of its fill that stands out more from the background.
QColor Edge(const QColor& fill, std::initializer_list<QColor> backgrounds) {
  const QColor darker = fill.darker(140);
  const QColor lighter = fill.lighter(140);
  return WorstContrast(darker, backgrounds) >= WorstContrast(lighter, backgrounds) ? darker : lighter;
}

// Black or white, whichever reads better on `fill`.
QColor InkOn(const QColor& fill) {
  return ContrastRatio(Qt::black, fill) >= ContrastRatio(Qt::white, fill) ? QColor(Qt::black) : QColor(Qt::white);
}

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

using Backgrounds = std::initializer_list<QColor>;

// An arrow across the box at height y (fraction of the size), pointing left or right.
void Arrow(QPainter& p, int size, double y, bool left, const QColor& colour, Backgrounds backgrounds) {
  const double s = size;
  const double shaft = s * 0.16;
  const double head = s * 0.32;
  const double tip = left ? s * 0.06 : s * 0.94;
  const double back = left ? s * 0.94 : s * 0.06;
  const double neck = left ? tip + head : tip - head;
  const double cy = s * y;
  QPolygonF shape;
  shape << QPointF(tip, cy) << QPointF(neck, cy - head * 0.7) << QPointF(neck, cy - shaft / 2)
        << QPointF(back, cy - shaft / 2) << QPointF(back, cy + shaft / 2) << QPointF(neck, cy + shaft / 2)
        << QPointF(neck, cy + head * 0.7);
  const QColor fill = Legible(colour, backgrounds);
  p.setPen(QPen(Edge(fill, backgrounds), 1));
  p.setBrush(fill);
  p.drawPolygon(shape);
}

void Cross(QPainter& p, int size, Backgrounds backgrounds) {
  p.setPen(QPen(Legible(InkOn(*backgrounds.begin()), backgrounds), size * 0.14, Qt::SolidLine, Qt::RoundCap));
  const double a = size * 0.2;
  const double b = size * 0.8;
  p.drawLine(QPointF(a, a), QPointF(b, b));
  p.drawLine(QPointF(a, b), QPointF(b, a));
}

void QuestionMark(QPainter& p, int size, Backgrounds backgrounds) {
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(static_cast<int>(size * 0.9));
  QPainterPath path;
  path.addText(0, 0, font, "?");
  const QRectF box = path.boundingRect();
  path.translate(size / 2.0 - box.center().x(), size / 2.0 - box.center().y());
  const QColor fill = Legible(kYellow, backgrounds);
  p.setPen(QPen(Edge(fill, backgrounds), 1.5));
  p.setBrush(fill);
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

// A round 24-pixel badge with a letter that reads on it.
QPixmap Badge(const QColor& colour, const char* letter, Backgrounds backgrounds) {
  QPixmap pixmap = Canvas(24);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = Legible(colour, backgrounds);
  p.setPen(QPen(Edge(fill, backgrounds), 1));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1, 1, 22, 22));
  p.setPen(InkOn(fill));
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(16);
  p.setFont(font);
  p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, letter);
  return pixmap;
}

// A picture on a button: the window behind it, or the button's face while the mouse is over it.
QIcon ButtonIcon(const std::function<QPixmap(Backgrounds)>& paint, const QPalette& palette) {
  QIcon icon;
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled}) {
    const QPixmap pixmap = paint({palette.color(group, QPalette::Window), palette.color(group, QPalette::Button)});
    icon.addPixmap(pixmap, group == QPalette::Active ? QIcon::Normal : QIcon::Disabled);
  }
  return icon;
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double first = Luminance(a) + 0.05;
  const double second = Luminance(b) + 0.05;
  return std::max(first, second) / std::min(first, second);
}

QColor Legible(const QColor& colour, std::initializer_list<QColor> backgrounds) {
  if (WorstContrast(colour, backgrounds) >= kPictureContrast) return colour;
  // The nearest lightness, up or down, that stands out from all backgrounds; else the best found.
  const QColor hsl = colour.toHsl();
  QColor best = colour;
  for (int step = 1; step <= 100; ++step) {
    for (const int sign : {-1, 1}) {
      const float lightness = hsl.lightnessF() + static_cast<float>(sign * step) / 100.0F;
      if (lightness < 0 || lightness > 1) continue;
      const QColor candidate = QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness);
      if (WorstContrast(candidate, backgrounds) >= kPictureContrast) return candidate;
      if (WorstContrast(candidate, backgrounds) > WorstContrast(best, backgrounds)) best = candidate;
    }
  }
  return best;
}

QPixmap DirectionPicture(int number, std::initializer_list<QColor> backgrounds, int size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (number) {
    case 1:
      Cross(p, size, backgrounds);
      break;
    case 2:
      Arrow(p, size, 0.5, true, kRed, backgrounds);
      break;
    case 3:
      Arrow(p, size, 0.5, false, kBlue, backgrounds);
      break;
    case 4:
      Arrow(p, size, 0.3, true, kRed, backgrounds);
      Arrow(p, size, 0.72, false, kBlue, backgrounds);
      break;
    default:
      QuestionMark(p, size, backgrounds);
      break;
  }
  return pixmap;
}

QIcon DirectionIcon(int number, const QPalette& palette) {
  return ButtonIcon([number](Backgrounds backgrounds) { return DirectionPicture(number, backgrounds); }, palette);
}

const char* DirectionName(int number) {
  static const char* const kNames[] = {"no conversion", "Palm to PC", "PC to Palm", "both ways", "no task"};
  return kNames[std::clamp(number, 1, 5) - 1];
}

QIcon ListIcon(int action, const QPalette& palette) {
  // A list paints its rows in the base colour, the selected one in the highlight, active or not.
  auto colour = [&palette](QPalette::ColorGroup group, QPalette::ColorRole role) { return palette.color(group, role); };
  QIcon icon;
  icon.addPixmap(
      DirectionPicture(action, {colour(QPalette::Active, QPalette::Base), colour(QPalette::Inactive, QPalette::Base)},
                       16),
      QIcon::Normal);
  icon.addPixmap(
      DirectionPicture(
          action, {colour(QPalette::Active, QPalette::Highlight), colour(QPalette::Inactive, QPalette::Highlight)}, 16),
      QIcon::Selected);
  icon.addPixmap(
      DirectionPicture(
          action, {colour(QPalette::Disabled, QPalette::Base), colour(QPalette::Disabled, QPalette::Highlight)}, 16),
      QIcon::Disabled);
  return icon;
}

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

QPixmap PromptPicture(const QPalette& palette) {
  const Backgrounds backgrounds = {palette.color(QPalette::Window)};
  QPixmap pixmap = Canvas(32);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = Legible(kYellow, backgrounds);
  p.setPen(QPen(Edge(fill, backgrounds), 1.5));
  p.setBrush(fill);
  p.drawEllipse(QRectF(2, 2, 28, 28));
  p.setPen(QPen(InkOn(fill), 3.5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(16, 8), QPointF(16, 18));
  p.drawPoint(QPointF(16, 24));
  return pixmap;
}

QIcon HelpPicture(const QPalette& palette) {
  return ButtonIcon([](Backgrounds backgrounds) { return Badge(kBlue, "?", backgrounds); }, palette);
}

QIcon InfoPicture(const QPalette& palette) {
  return ButtonIcon([](Backgrounds backgrounds) { return Badge(QColor(40, 160, 60), "i", backgrounds); }, palette);
}

}  // namespace zun::ui
