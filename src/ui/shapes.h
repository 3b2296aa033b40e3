// The window's decorative shapes (shp_conr, shp_con, shp_clip): painted rectangles, no part of
// the accessibility tree and no target for the mouse.
#pragma once
#include <QColor>
#include <QRect>
#include <QWidget>
#include <vector>

namespace zun::ui {

class Shapes : public QWidget {
 public:
  struct Shape {
    QRect place;  // in the widget's coordinates
    QColor colour;
    bool outline = false;  // a 2-pixel frame instead of a filled rectangle
    bool operator==(const Shape&) const = default;
  };

  Shapes(QWidget* parent, const char* name);
  void Set(std::vector<Shape> shapes);
  const std::vector<Shape>& Get() const { return shapes_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<Shape> shapes_;
};

// Widgets marked so are left out of the accessibility tree.
inline constexpr const char* kDecorationProperty = "zunDecoration";

}  // namespace zun::ui
