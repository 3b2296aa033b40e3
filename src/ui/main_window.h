// frmMain: the program's window. It builds the controls, mirrors the editor model into them and
// forwards every user action to the model; conversions reach the window through ConversionHost.
#pragma once
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "editor/editor_model.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "ui/prompts.h"
#include "zun2_version.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QTreeWidget;

namespace zun::ui {

inline constexpr const char* kWindowCaption = "ZUN2 V" ZUN2_VERSION;
inline constexpr const char* kTrayTip = "ZUN2";

struct StartOptions {
  std::string programDir;                 // ends with the separator
  std::vector<std::string> codecFolders;  // where libzun2.so is looked for, in order
  std::unique_ptr<UserManager> users;     // the HotSync users
  std::string handheldCharset = kDefaultHandheldCharset;  // for "UTF-8 Text"; J-Pilot's char_set
};

class MainWindow : public QWidget, public ConversionHost {
 public:
  explicit MainWindow(StartOptions options);
  ~MainWindow() override;

  // The start-up steps. False when the program must end: the library is missing (the message
  // was shown, the data file is closed and the tray icon gone).
  bool Start();
  void SetFileDialogs(FileDialogs* dialogs) { dialogs_ = dialogs; }
  EditorModel& Model() { return *model_; }
  const PromptState& Prompt() const { return prompt_; }
  bool HasTray() const;

  // ConversionHost.
  TargetChecks InstallChecks() override { return model_->InstallChecks(); }
  bool AskOverwrite() override { return model_->State().askOverwrite; }
  void SetAskOverwrite(bool on) override;
  OverwriteAnswer OverwritePrompt(const std::string& question, const std::string& path) override;
  PromptAnswer BothChangedPrompt() override;
  void ShowProgress(bool shown) override;
  void SetProgressCaption(const std::string& caption) override;
  void SetProgressRange(int32_t maximum) override;
  void SetProgressValue(int32_t value) override;
  void SetTrayIcon(int32_t frame, const std::string& tip) override;
  void LetEventsRun() override;

  // The tray's reports, as QSystemTrayIcon gives them (also the entry point for tests).
  void TrayActivated(int reason);
  void ConvertClipboardNow();
  void RestoreWindow();
  // Starts the desktop's browser with `address`; failures are shown, never fatal.
  void OpenInBrowser(const std::string& address);
  void ShowHelp();
  void ShowInfo();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void BuildTopBar();
  void BuildList();
  void BuildEditor();
  void BuildShapes();
  void BuildTray();
  void Connect();
  void Mirror();
  void MirrorList();
  void MirrorEditor();
  void MirrorControls();
  void MirrorShapes();
  // Runs a model action, then shows its result.
  template <typename Action>
  void Forward(Action action);
  void ConvertClicked();
  void RunAllTasksNow();
  void ShutDown();
  int32_t RowsPerPage() const;
  ConversionEnv Env();

  StartOptions options_;
  DataFile data_;
  RunFlags flags_;
  std::optional<DocCodec> codec_;
  std::unique_ptr<EditorModel> model_;
  std::unique_ptr<FileDialogs> qtDialogs_;
  FileDialogs* dialogs_ = nullptr;
  PromptState prompt_;
  bool running_ = false;
  bool closeAfterRun_ = false;
  bool shutDown_ = false;
  int lastClickX_ = 0;
  QRect newButtonRest_;

  QTreeWidget* tasks_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QPushButton *new_ = nullptr, *delete_ = nullptr, *saveDefault_ = nullptr, *convert_ = nullptr;
  QPushButton *clipSettings_ = nullptr, *exit_ = nullptr, *browsePc_ = nullptr, *browsePalm_ = nullptr;
  QCheckBox *autoNaming_ = nullptr, *askOverwrite_ = nullptr, *countUp_ = nullptr;
  QLineEdit *pcFile_ = nullptr, *palmFile_ = nullptr, *tabSpace_ = nullptr, *category_ = nullptr;
  QLineEdit *status_ = nullptr, *countUpText_ = nullptr;
  QPlainTextEdit *pcInfo_ = nullptr, *palmInfo_ = nullptr;
  QToolButton *action_ = nullptr, *help_ = nullptr, *pelko_ = nullptr;
  QListWidget *install_ = nullptr, *optionList_ = nullptr;
  QLabel *installLabel_ = nullptr, *optionsLabel_ = nullptr, *tabLabel_ = nullptr, *categoryLabel_ = nullptr;
  QLabel *statusLabel_ = nullptr, *progressLabel_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QFrame* clipShape_ = nullptr;
  QWidget *listShapes_ = nullptr, *band_ = nullptr;
  QTimer* timer_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QMenu* trayMenu_ = nullptr;
};

}  // namespace zun::ui
