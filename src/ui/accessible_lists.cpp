// lst_install and lst_options for assistive technology: a list whose entries are check boxes.
// Qt's own list items take Toggle for selecting them; here Toggle checks an entry, as Space does.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QListWidget>
#include <QPointer>
#include <vector>

#include "ui/accessibility.h"

namespace zun::ui {
namespace {

class CheckEntryNode : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  CheckEntryNode(QListWidget* list, int row) : list_(list), row_(row) {}

  bool isValid() const override { return Item() != nullptr; }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text type) const override {
    if (Item() == nullptr) return {};
    if (type == QAccessible::Name) return Item()->text();
    if (type == QAccessible::Description) return Item()->toolTip();
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (Item() == nullptr) return {};
    const QRect local = list_->visualItemRect(Item());
    return QRect(list_->viewport()->mapToGlobal(local.topLeft()), local.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    if (Item() == nullptr) {
      state.invalid = true;
      return state;
    }
    state.disabled = !list_->isEnabled();
    state.focusable = state.selectable = state.checkable = true;
    state.selected = Item()->isSelected();
    state.focused = list_->hasFocus() && list_->currentRow() == row_;
    state.checked = Item()->checkState() == Qt::Checked;
    state.offscreen = !list_->viewport()->rect().intersects(list_->visualItemRect(Item()));
    state.invisible = !list_->isVisible();
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return {toggleAction(), setFocusAction()}; }
  void doAction(const QString& name) override {
    if (Item() == nullptr || !list_->isEnabled()) return;
    list_->setCurrentRow(row_);
    if (name == setFocusAction()) list_->setFocus(Qt::OtherFocusReason);
    if (name == toggleAction())
      Item()->setCheckState(Item()->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  }
  QStringList keyBindingsForAction(const QString& name) const override {
    return name == toggleAction() ? QStringList{QStringLiteral("Space")} : QStringList{};
  }

 private:
  QListWidgetItem* Item() const { return list_ ? list_->item(row_) : nullptr; }

  QPointer<QListWidget> list_;
  int row_;
};

class CheckListNode : public QAccessibleWidget {
 public:
  explicit CheckListNode(QListWidget* list) : QAccessibleWidget(list, QAccessible::List) {}
  ~CheckListNode() override {
    for (const QAccessible::Id id : entries_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return List()->count(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= List()->count()) return nullptr;
    // One interface per entry for the list's lifetime: assistive tools keep referring to it.
    while (static_cast<int>(entries_.size()) <= index) {
      const int row = static_cast<int>(entries_.size());
      entries_.push_back(QAccessible::registerAccessibleInterface(new CheckEntryNode(List(), row)));
    }
    return QAccessible::accessibleInterface(entries_[static_cast<size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (QAccessible::accessibleInterface(entries_[i]) == child) return static_cast<int>(i);
    }
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    return List()->hasFocus() && List()->currentRow() >= 0 ? child(List()->currentRow()) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QModelIndex index = List()->indexAt(List()->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? child(index.row()) : nullptr;
  }

 private:
  QListWidget* List() const { return static_cast<QListWidget*>(widget()); }
  mutable std::vector<QAccessible::Id> entries_;
};

}  // namespace

QAccessibleInterface* CheckListAccessible(QListWidget* list) {
  // A changed check mark is announced as the entry's state.
  QObject::connect(list, &QListWidget::itemChanged, list, [list](QListWidgetItem* item) {
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(list, changed);
    event.setChild(list->row(item));
    QAccessible::updateAccessibility(&event);
  });
  return new CheckListNode(list);
}

}  // namespace zun::ui
