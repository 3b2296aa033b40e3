#include "ui/info_window.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "glue/browser.h"
#include "ui/accessibility.h"
#include "ui/pictures.h"
#include "zun2_version.h"

namespace zun::ui {
namespace {

QLabel* Link(QWidget* parent, const char* name, const QString& text, const QString& address, const QString& tip,
             const std::function<void(const std::string&)>& open) {
  auto* link = new QLabel(parent);
  link->setObjectName(name);
  link->setProperty(kLinkProperty, address);  // the address, as the link's tag text; makes it a link
  link->setText(QString("<a href=\"%1\">%2</a>").arg(address.toHtmlEscaped(), text.toHtmlEscaped()));
  link->setToolTip(tip);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  link->setFocusPolicy(Qt::StrongFocus);
  link->installEventFilter(parent);
  QObject::connect(link, &QLabel::linkActivated, parent, [open](const QString& href) { open(href.toStdString()); });
  return link;
}

}  // namespace

InfoWindow::InfoWindow(QWidget* owner, const std::string& programDir, std::function<void(const std::string&)> open)
    : QDialog(owner), open_(std::move(open)) {
  setObjectName("frmInfo");
  setWindowTitle("ZUN2");
  setModal(true);
  const QString help = QString::fromStdString("file://" + programDir + kHelpPage);
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel("ZUN2", this);
  caption->setObjectName("lbl_caption");
  QFont big = caption->font();
  big.setPointSize(big.pointSize() + 8);
  big.setBold(true);
  caption->setFont(big);
  layout->addWidget(caption);
  auto* description = new QLabel("Keeps text files and Palm documents in step.", this);
  description->setObjectName("lbl_description");
  layout->addWidget(description);
  auto* version = new QLabel("Version " ZUN2_VERSION, this);
  version->setObjectName("lbl_version");
  layout->addWidget(version);
  layout->addWidget(Link(this, "lbl_maker", kMakerName, help + "#maker",
                         QString("open browser with %1 home").arg(kMakerName), open_));
  auto* updates = new QLabel("for updates look at", this);
  updates->setObjectName("lbl_updates");
  layout->addWidget(updates);
  layout->addWidget(Link(this, "lbl_home", "ZUN2 home", help + "#updates", "open browser with ZUN2 home", open_));
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("cmd_ok");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok);
}

bool InfoWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const QString address = watched->property(kLinkProperty).toString();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !address.isEmpty()) {
      open_(address.toStdString());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace zun::ui
