#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>
#include <tuple>
#include <type_traits>
#include <utility>

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

// What the text interface needs of a box, for each kind of box the window has.
QString BoxText(const QLineEdit* box) { return box->text(); }
QString BoxText(const QPlainTextEdit* box) { return box->toPlainText(); }
void SetBoxText(QLineEdit* box, const QString& text) { box->setText(text); }
void SetBoxText(QPlainTextEdit* box, const QString& text) { box->setPlainText(text); }
std::pair<int, int> BoxSelection(const QLineEdit* box) {
  if (!box->hasSelectedText()) return {0, 0};
  return {box->selectionStart(), box->selectionStart() + static_cast<int>(box->selectedText().size())};
}
std::pair<int, int> BoxSelection(const QPlainTextEdit* box) {
  return {box->textCursor().selectionStart(), box->textCursor().selectionEnd()};
}
void SelectInBox(QLineEdit* box, int start, int end) { box->setSelection(start, end - start); }
void SelectInBox(QPlainTextEdit* box, int start, int end) {
  QTextCursor cursor = box->textCursor();
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  box->setTextCursor(cursor);
}
int BoxCursor(const QLineEdit* box) { return box->cursorPosition(); }
int BoxCursor(const QPlainTextEdit* box) { return box->textCursor().position(); }
void SetBoxCursor(QLineEdit* box, int position) { box->setCursorPosition(position); }
void SetBoxCursor(QPlainTextEdit* box, int position) {
  QTextCursor cursor = box->textCursor();
  cursor.setPosition(position);
  box->setTextCursor(cursor);
}
// Where a character stands, on the screen; measured from where its line starts.
QRect BoxCharacterRect(const QLineEdit* box, int offset) {
  const QString text = box->text();
  const QFontMetrics metrics = box->fontMetrics();
  const QRect inside = box->contentsRect();
  const int x = inside.x() + metrics.horizontalAdvance(text.left(offset));
  const int width = offset < text.size() ? metrics.horizontalAdvance(text.at(offset)) : 1;
  return QRect(box->mapToGlobal(QPoint(x, inside.y())), QSize(width, inside.height()));
}
QRect BoxCharacterRect(const QPlainTextEdit* box, int offset) {
  QTextCursor cursor(box->document());
  cursor.setPosition(std::clamp(offset, 0, box->document()->characterCount() - 1));
  const QRect caret = box->cursorRect(cursor);
  const QString text = box->toPlainText();
  const int width = offset < text.size() ? box->fontMetrics().horizontalAdvance(text.at(offset)) : 1;
  return QRect(box->viewport()->mapToGlobal(caret.topLeft()), QSize(width, caret.height()));
}
int BoxOffsetAt(QLineEdit* box, const QPoint& point) { return box->cursorPositionAt(box->mapFromGlobal(point)); }
int BoxOffsetAt(const QPlainTextEdit* box, const QPoint& point) {
  return box->cursorForPosition(box->viewport()->mapFromGlobal(point)).position();
}

// A text box that is editable for assistive technology exactly while it is for the keyboard:
// a read-only or disabled box offers no editing, and a read-only one says so.
template <typename Box>
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
 public:
  explicit TextBoxAccessible(Box* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

  int childCount() const override { return 0; }  // not the box's viewport or scroll bars
  QAccessibleInterface* child(int) const override { return nullptr; }
  QString text(QAccessible::Text type) const override {
    return type == QAccessible::Value ? BoxText(B()) : QAccessibleWidget::text(type);
  }
  void setText(QAccessible::Text type, const QString& text) override {
    if (type != QAccessible::Value) {
      QAccessibleWidget::setText(type, text);
    } else if (Editable()) {
      SetBoxText(B(), text);
    }
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = B()->isReadOnly();
    state.editable = Editable();
    state.multiLine = std::is_same_v<Box, QPlainTextEdit>;
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
    if (index == 0) std::tie(*start, *end) = BoxSelection(B());
  }
  int selectionCount() const override { return BoxSelection(B()).first != BoxSelection(B()).second ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { SetBoxCursor(B(), BoxCursor(B())); }
  void setSelection(int, int start, int end) override { SelectInBox(B(), start, end); }
  int cursorPosition() const override { return BoxCursor(B()); }
  void setCursorPosition(int position) override { SetBoxCursor(B(), position); }
  QString text(int start, int end) const override { return BoxText(B()).mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(BoxText(B()).size()); }
  QRect characterRect(int offset) const override { return BoxCharacterRect(B(), offset); }
  int offsetAtPoint(const QPoint& point) const override { return BoxOffsetAt(B(), point); }
  void scrollToSubstring(int start, int end) override {
    SetBoxCursor(B(), end);
    SetBoxCursor(B(), start);
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    if (offset < 0 || offset > *end) *start = *end = -1;
    return {};
  }

  // Editing: each change becomes the box's new text, which the window stores like a typed one.
  void deleteText(int start, int end) override { SetBoxText(B(), BoxText(B()).remove(start, end - start)); }
  void insertText(int offset, const QString& text) override {
    SetBoxText(B(), BoxText(B()).insert(offset, text));
    SetBoxCursor(B(), offset + static_cast<int>(text.size()));
  }
  void replaceText(int start, int end, const QString& text) override {
    SetBoxText(B(), BoxText(B()).replace(start, end - start, text));
  }

 private:
  Box* B() const { return static_cast<Box*>(widget()); }
  bool Editable() const { return B()->isEnabled() && !B()->isReadOnly(); }
};

// A label that stands for a link (its address in the "tag" property): a link that Press follows.
class LinkAccessible : public QAccessibleWidget {
 public:
  explicit LinkAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QString text(QAccessible::Text type) const override {
    if (type != QAccessible::Name || !widget()->accessibleName().isEmpty()) return QAccessibleWidget::text(type);
    QTextDocument document;
    document.setHtml(static_cast<QLabel*>(widget())->text());
    return document.toPlainText();
  }
  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.linked = true;
    return state;
  }
  QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }
  void doAction(const QString& name) override {
    auto* label = static_cast<QLabel*>(widget());
    if (name != pressAction()) {
      QAccessibleWidget::doAction(name);  // the focus
    } else if (label->isEnabled()) {
      emit label->linkActivated(label->property(kLinkProperty).toString());
    }
  }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr) return nullptr;
  if (widget->isWindow() && widget->property(kFrameProperty).toBool()) return new FrameAccessible(widget);
  // Our own boxes (txt_...) only: line edits inside other controls keep Qt's handling.
  if (className == QLatin1String("QLineEdit") && object->objectName().startsWith(QLatin1String("txt_"))) {
    return new TextBoxAccessible<QLineEdit>(static_cast<QLineEdit*>(object));
  }
  if (className == QLatin1String("QPlainTextEdit")) {
    return new TextBoxAccessible<QPlainTextEdit>(static_cast<QPlainTextEdit*>(object));
  }
  if (className == QLatin1String("QLabel") && !object->property(kLinkProperty).toString().isEmpty()) {
    return new LinkAccessible(static_cast<QLabel*>(object));
  }
  if (className == QLatin1String("QListWidget")) return CheckListAccessible(static_cast<QListWidget*>(object));
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
