// frmMain: the program's window. It builds the controls, mirrors the editor model into them and
// forwards every user action to the model; conversions reach the window through ConversionHost.
#pragma once
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "editor/editor_model.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "tasks/unattended.h"
#include "ui/pictures.h"
#include "ui/prompts.h"
#include "zun2_version.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSpacerItem;
class QSystemTrayIcon;
class QTimer;
class QToolButton;
class QTreeView;
class QVBoxLayout;

namespace zun::ui {

class Shapes;
class TaskListModel;
class WindowBeacon;

inline constexpr const char* kWindowCaption = "ZUN2 V" ZUN2_VERSION;
inline constexpr const char* kTrayTip = "ZUN2";

// A caption with its access key (Alt and the letter), one letter per control of the window,
// whatever state it shows. "Delete" has none: it asks nothing before it deletes.
QString WithAccessKey(const char* caption);
// The font of cmd_new while it pulses: bold, a quarter larger than `base`.
QFont PulseFont(const QFont& base);

struct StartOptions {
  std::string programDir;                                 // ends with the separator
  std::vector<std::string> codecFolders;                  // where libzun2.so is looked for, in order
  std::unique_ptr<UserManager> users;                     // the HotSync users
  std::string handheldCharset = kDefaultHandheldCharset;  // for "UTF-8 Text"; J-Pilot's char_set
  std::string clipboardHelper;  // this program, to read an X11 clipboard aside; "": read directly
};

class MainWindow : public QWidget, public ConversionHost {
 public:
  explicit MainWindow(StartOptions options);
  ~MainWindow() override;

  // The start-up steps. False when the program must end: the library is missing (the message
  // was shown, the data file is closed and the tray icon gone), or the window already running on
  // the data folder was brought forward instead (HandedOver()).
  bool Start();
  bool HandedOver() const { return handedOver_; }
  void SetFileDialogs(FileDialogs* dialogs) { dialogs_ = dialogs; }
  EditorModel& Model() { return *model_; }
  const PromptState& Prompt() const { return prompt_; }
  // Whether a system tray shows the icon now; asked again at every minimize, since a tray may
  // come or go while the program runs.
  bool HasTray() const;
  void SetTrayProbe(std::function<bool()> probe) { trayProbe_ = std::move(probe); }
  bool IsShutDown() const { return shutDown_; }

  // ConversionHost. What a conversion shows is drawn a few dozen times a second, not per record.
  TargetChecks InstallChecks() override { return model_->InstallChecks(); }
  bool AskOverwrite() override { return unattended_ != nullptr || model_->State().askOverwrite; }
  void SetAskOverwrite(bool on) override;
  OverwriteAnswer OverwritePrompt(const std::string& question, const std::string& path) override;
  PromptAnswer BothChangedPrompt(const Collision& collision) override;
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
  // A second launch on this data folder asked for the window; `token` is its activation token.
  void ComeForward(const QString& token);
  // Starts the desktop's browser with `address`; failures are shown, never fatal.
  void OpenInBrowser(const std::string& address);
  void ShowHelp();
  void ShowInfo();

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void BuildTopBar();
  void BuildList();
  void BuildEditor();
  void BuildChecklists();
  void BuildInfoBox(QPlainTextEdit* info);
  void BuildShapes();
  void BuildTray();
  void ConnectTray();
  void BuildKeys();
  void Arrange();
  QVBoxLayout* ArrangeEditor();
  // After each layout pass: the list's columns and page, the decorations, cmd_new.
  void AfterLayout();
  void SizeListColumns();
  void PlaceNewButton(bool enlarged);
  int ListRowTop(int row) const;
  QRect EditorFrame() const;
  // The pictures, painted again for the palette in use.
  void PaintPictures();
  void Connect();
  void ConnectEditor();
  void Mirror();
  void MirrorList();
  void MirrorEditor();
  void MirrorControls();
  void MirrorShapes();
  void MirrorProgress();
  // Runs a model action started by the user, then shows its result.
  template <typename Action>
  void Forward(Action action) {
    if (shutDown_ || mirroring_) return;
    action();
    Forwarded();
  }
  void Forwarded();
  bool ListKeyPressed(int key);
  void ListSelectionChanged();
  ColumnBounds ListColumnBounds() const;
  void ConvertClicked();
  void RunAllTasksNow();
  // After a conversion: an exit asked for meanwhile is carried out now.
  void ConversionEnded(bool exitDue);
  void ShutDown();
  int32_t RowsPerPage() const;
  ConversionEnv Env();

  // "Convert on change" (auto_run.cpp): watching while the switch is on, the tasks whose files
  // changed run unattended once the files are quiet and nothing else goes on.
  void FollowConvertOnChange();
  void WatchedFilesChanged();
  void QuietTimeOver();
  bool BusyForUnattendedRun() const;
  void RunUnattended(const std::vector<int32_t>& rows);
  struct Watch;
  struct WatchDeleter {
    void operator()(Watch* watch) const;
  };
  std::unique_ptr<Watch, WatchDeleter> watch_;
  UnattendedAnswers* unattended_ = nullptr;  // while an unattended run goes on
  QString autoRunResult_;                    // the time and result of the last one

  StartOptions options_;
  DataFile data_;
  RunFlags flags_;
  std::optional<DocCodec> codec_;
  std::unique_ptr<EditorModel> model_;
  std::unique_ptr<FileDialogs> qtDialogs_;
  FileDialogs* dialogs_ = nullptr;
  PromptState prompt_;
  bool shutDown_ = false;
  bool handedOver_ = false;
  bool mirroring_ = false;  // the window shows the model: changes of the controls are not the user's
  int lastClickX_ = 0;
  int rowHeight_ = 20;       // of a list row, for the font in use
  int sizedListWidth_ = -1;  // the list width the columns were last sized for
  QSpacerItem* newSlot_ = nullptr;
  QVBoxLayout* editorLayout_ = nullptr;
  std::function<bool()> trayProbe_;
  QElapsedTimer sinceRedraw_;

  // What the conversion asked to show, drawn at the next redraw.
  struct Progress {
    bool shown = false;
    QString caption = kProgressCaption;
    int maximum = 1;
    int value = 0;
    int trayFrame = kTrayRestFrame;
    QString trayTip = kTrayTip;
  } progress_;

  TaskListModel* listModel_ = nullptr;
  QTreeView* tasks_ = nullptr;
  QScrollBar* scroll_ = nullptr;
  QPushButton *new_ = nullptr, *delete_ = nullptr, *saveDefault_ = nullptr, *convert_ = nullptr;
  QPushButton *clipSettings_ = nullptr, *exit_ = nullptr, *browsePc_ = nullptr, *browsePalm_ = nullptr;
  QCheckBox *autoNaming_ = nullptr, *askOverwrite_ = nullptr, *countUp_ = nullptr, *convertOnChange_ = nullptr;
  QLineEdit *pcFile_ = nullptr, *palmFile_ = nullptr, *tabSpace_ = nullptr, *category_ = nullptr;
  QLineEdit *status_ = nullptr, *countUpText_ = nullptr;
  QPlainTextEdit *pcInfo_ = nullptr, *palmInfo_ = nullptr;
  QToolButton *action_ = nullptr, *help_ = nullptr, *pelko_ = nullptr;
  QListWidget *install_ = nullptr, *optionList_ = nullptr;
  QLabel *installLabel_ = nullptr, *optionsLabel_ = nullptr, *tabLabel_ = nullptr, *categoryLabel_ = nullptr;
  QLabel *statusLabel_ = nullptr, *progressLabel_ = nullptr, *editorCaption_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  Shapes *listShapes_ = nullptr, *band_ = nullptr, *clipShape_ = nullptr;
  QTimer* timer_ = nullptr;
  QTimer* trayWatch_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  WindowBeacon* beacon_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction *convertClipboardItem_ = nullptr, *restoreItem_ = nullptr, *exitItem_ = nullptr;
  int shownTrayFrame_ = 0;
  int shownLoads_ = 0;
  QString shownTrayTip_;
};

}  // namespace zun::ui
