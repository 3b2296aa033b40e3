#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QMenu>

#include "ui/shapes.h"

namespace zun::ui {
namespace {

// The main window as a frame whose children leave out the painted decorations.
class FrameAccessible : public QAccessibleWidget {
 public:
  explicit FrameAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

  int childCount() const override { return static_cast<int>(Children().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> children = Children();
    return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child == nullptr ? -1 : static_cast<int>(Children().indexOf(qobject_cast<QWidget*>(child->object())));
  }

 private:
  QList<QWidget*> Children() const {
    QList<QWidget*> shown;
    for (QObject* object : widget()->children()) {
      auto* child = qobject_cast<QWidget*>(object);
      if (child == nullptr || child->isWindow() || qobject_cast<QMenu*>(child) != nullptr) continue;
      if (child->property(kDecorationProperty).toBool()) continue;
      shown.append(child);
    }
    return shown;
  }
};

// A text box that is editable for assistive technology exactly while it is for the keyboard:
// a read-only or disabled box offers no editing, and a read-only one says so.
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
 public:
  explicit TextBoxAccessible(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

  QString text(QAccessible::Text type) const override {
    return type == QAccessible::Value ? Box()->text() : QAccessibleWidget::text(type);
  }
  void setText(QAccessible::Text type, const QString& text) override {
    if (type != QAccessible::Value) {
      QAccessibleWidget::setText(type, text);
    } else if (Editable()) {
      Box()->setText(text);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = Box()->isReadOnly();
    state.editable = Editable();
    state.selectableText = true;
    return state;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface && Editable()) {
      return static_cast<QAccessibleEditableTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
  }

  // Text.
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !Box()->hasSelectedText()) return;
    *start = Box()->selectionStart();
    *end = *start + static_cast<int>(Box()->selectedText().size());
  }
  int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { Box()->deselect(); }
  void setSelection(int, int start, int end) override { Box()->setSelection(start, end - start); }
  int cursorPosition() const override { return Box()->cursorPosition(); }
  void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
  QString text(int start, int end) const override { return Box()->text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Box()->text().size()); }
  QRect characterRect(int offset) const override {
    // Measured from where the text starts; good enough to point at a character.
    const QString text = Box()->text();
    const QFontMetrics metrics = Box()->fontMetrics();
    const QRect inside = Box()->contentsRect();
    const int x = inside.x() + metrics.horizontalAdvance(text.left(offset));
    const int width = offset < text.size() ? metrics.horizontalAdvance(text.at(offset)) : 1;
    const QRect local(x, inside.y(), width, inside.height());
    return QRect(Box()->mapToGlobal(local.topLeft()), local.size());
  }
  int offsetAtPoint(const QPoint& point) const override { return Box()->cursorPositionAt(Box()->mapFromGlobal(point)); }
  void scrollToSubstring(int start, int end) override {
    Box()->setCursorPosition(end);
    Box()->setCursorPosition(start);
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    if (offset < 0 || offset > *end) *start = *end = -1;
    return {};
  }

  // Editing: each change becomes the box's new text, which the window stores like a typed one.
  void deleteText(int start, int end) override { Box()->setText(Box()->text().remove(start, end - start)); }
  void insertText(int offset, const QString& text) override {
    Box()->setText(Box()->text().insert(offset, text));
    Box()->setCursorPosition(offset + static_cast<int>(text.size()));
  }
  void replaceText(int start, int end, const QString& text) override {
    Box()->setText(Box()->text().replace(start, end - start, text));
  }

 private:
  QLineEdit* Box() const { return static_cast<QLineEdit*>(widget()); }
  bool Editable() const { return Box()->isEnabled() && !Box()->isReadOnly(); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  if (widget->isWindow() && widget->property(kFrameProperty).toBool()) return new FrameAccessible(widget);
  // Our own boxes (txt_...) only: line edits inside other controls keep Qt's handling.
  if (className == QLatin1String("QLineEdit") && object->objectName().startsWith(QLatin1String("txt_"))) {
    return new TextBoxAccessible(static_cast<QLineEdit*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace zun::ui
