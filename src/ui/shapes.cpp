#include "ui/shapes.h"

#include <QPainter>

namespace zun::ui {

Shapes::Shapes(QWidget* parent, const char* name) : QWidget(parent) {
  setObjectName(name);
  setProperty(kDecorationProperty, true);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void Shapes::Set(std::vector<Shape> shapes) {
  if (shapes == shapes_) return;
  shapes_ = std::move(shapes);
  update();
}

void Shapes::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (const Shape& shape : shapes_) {
    if (shape.outline) {
      painter.setPen(QPen(shape.colour, 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(shape.place.adjusted(1, 1, -1, -1));
    } else {
      painter.fillRect(shape.place, shape.colour);
    }
  }
}

}  // namespace zun::ui
