#include "ui/prompts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "convert/conversion_env.h"
#include "ui/pictures.h"

namespace zun::ui {
namespace {

// Alt and the underlined letter answer a prompt as a click does.
QString WithAccessKey(const QString& caption) {
  static const std::pair<const char*, const char*> kKeys[] = {
      {"Yes", "&Yes"},         {"Skip", "&Skip"},           {"Stop", "S&top"},
      {"PC File", "&PC File"}, {"Palm File", "P&alm File"}, {"do not ask again", "&do not ask again"}};
  for (const auto& [plain, keyed] : kKeys) {
    if (plain == caption) return keyed;
  }
  return caption;
}

}  // namespace

PromptDialog::PromptDialog(QWidget* owner, PromptState& state, const char* name) : QDialog(owner), state_(state) {
  setObjectName(name);
  setWindowTitle(kMessageTitle);
  setModal(true);
  state_.open = true;
  state_.result = PromptAnswer::Stop;

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* image = new QLabel(this);
  image->setObjectName("Image1");
  image->setPixmap(PromptPicture(palette()));
  image->setAlignment(Qt::AlignTop);
  message_ = new QLabel(this);
  message_->setObjectName("lbl_message");
  top->addWidget(image);
  top->addWidget(message_, 1);
  layout->addLayout(top);
  buttons_ = new QLabel(this);
  buttons_->setObjectName("lbl_buttons");
  layout->addWidget(buttons_);
  row_ = new QHBoxLayout;
  layout->addLayout(row_);
}

PromptDialog::~PromptDialog() { state_.open = false; }

void PromptDialog::AddChoice(const char* name, const QString& caption, PromptAnswer answer) {
  auto* button = new QPushButton(WithAccessKey(caption), this);
  button->setObjectName(name);
  button->setAutoDefault(false);
  connect(button, &QPushButton::clicked, this, [this, answer] {
    state_.result = answer;
    accept();
  });
  row_->addWidget(button);
}

OverwriteDialog::OverwriteDialog(QWidget* owner, PromptState& state, std::function<void()> doNotAskAgain)
    : PromptDialog(owner, state, "frmOvwDialog") {
  fileName_ = new QLineEdit(this);
  fileName_->setObjectName("txt_filename");
  fileName_->setReadOnly(true);
  fileName_->setAccessibleName("file name");
  static_cast<QVBoxLayout*>(layout())->insertWidget(1, fileName_);
  buttons_->setText("Yes - overwrite file\nSkip - skip task\nStop - stop conversion");
  AddChoice("cmd_yes", "Yes", PromptAnswer::Overwrite);
  AddChoice("cmd_skip", "Skip", PromptAnswer::Skip);
  AddChoice("cmd_stop", "Stop", PromptAnswer::Stop);
  auto* notAgain = new QCheckBox(WithAccessKey("do not ask again"), this);
  notAgain->setObjectName("chk_notaskagain");
  // Every change of the box, however made (a click, a key, an assistive tool), turns asking off.
  connect(notAgain, &QCheckBox::toggled, this, [doNotAskAgain = std::move(doNotAskAgain)](bool) { doNotAskAgain(); });
  layout()->addWidget(notAgain);
}

void OverwriteDialog::SetQuestion(const QString& question, const QString& path) {
  message_->setText(question);
  fileName_->setText(path);
  fileName_->setMinimumWidth(qMin(fontMetrics().horizontalAdvance(path) + 20, 600));
}

BothChangedDialog::BothChangedDialog(QWidget* owner, PromptState& state) : PromptDialog(owner, state, "frmBochDialog") {
  message_->setText("Both files have been changed!\nWhich one do you like to be updated?");
  buttons_->setText("PC File - update PC File\nPalm File - update Palm File\nSkip - skip task\nStop - stop conversion");
  AddChoice("cmd_pcfile", "PC File", PromptAnswer::UpdatePc);
  AddChoice("cmd_palmfile", "Palm File", PromptAnswer::UpdatePalm);
  AddChoice("cmd_skip", "Skip", PromptAnswer::Skip);
  AddChoice("cmd_stop", "Stop", PromptAnswer::Stop);
}

void BothChangedDialog::ShowCollision(const QString& text) {
  if (text.isEmpty()) return;
  auto* box = new QPlainTextEdit(text, this);
  box->setObjectName("txt_collision");
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setAccessibleName("colliding lines");
  // Room for about eight lines of sixty characters in the box's font.
  box->setMinimumSize(box->fontMetrics().averageCharWidth() * 60, box->fontMetrics().lineSpacing() * 8);
  static_cast<QVBoxLayout*>(layout())->insertWidget(1, box);
}

}  // namespace zun::ui
