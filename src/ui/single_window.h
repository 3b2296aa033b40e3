// One window per data folder. The window that holds a data folder listens on a socket named after
// the folder in the user's runtime folder ($XDG_RUNTIME_DIR, private to the user); a second
// launch on the same folder finds the folder locked, asks that window to come forward and ends.
// The lock on zundata.lock stays what guards the data: the socket only carries the request.
#pragma once
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLocalServer;

namespace zun::ui {

// The socket for `programDir`; "" without a runtime folder.
QString WindowSocketPath(const std::string& programDir);

// Asks the window running on `programDir` to come forward, passing this launch's activation
// token (Wayland's XDG_ACTIVATION_TOKEN) on; true when it answered that it did.
bool BringRunningWindowForward(const std::string& programDir);

class WindowBeacon : public QObject {
 public:
  // `comeForward` gets the launch's activation token ("" when it had none).
  explicit WindowBeacon(std::function<void(const QString& token)> comeForward);
  ~WindowBeacon() override;
  // Listens for later launches on `programDir`; call while holding the folder's lock.
  void Listen(const std::string& programDir);

 private:
  void Answer();

  std::function<void(const QString&)> comeForward_;
  QLocalServer* server_ = nullptr;
  QString path_;
};

}  // namespace zun::ui
