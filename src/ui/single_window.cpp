#include "ui/single_window.h"

#include <sys/stat.h>

#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include "glue/xdg_dirs.h"

namespace zun::ui {
namespace {

constexpr int kAnswerWaitMs = 2000;
constexpr qint64 kMaxRequest = 4096;
const QByteArray kRequest = "forward ";
const QByteArray kAnswer = "done\n";

}  // namespace

QString WindowSocketPath(const std::string& programDir) {
  const std::string runtime = XdgRuntimeDir();
  struct stat folder {};
  if (runtime.empty() || ::stat(programDir.c_str(), &folder) != 0) return {};
  // The folder itself, however it is reached (links, relative paths), names the socket.
  return QString("%1/zun2-%2-%3.socket")
      .arg(QString::fromStdString(runtime))
      .arg(static_cast<qulonglong>(folder.st_dev), 0, 16)
      .arg(static_cast<qulonglong>(folder.st_ino), 0, 16);
}

bool BringRunningWindowForward(const std::string& programDir) {
  const QString path = WindowSocketPath(programDir);
  if (path.isEmpty()) return false;
  QLocalSocket socket;
  QEventLoop waiting;
  QByteArray answer;
  QObject::connect(&socket, &QLocalSocket::connected, [&] {
    socket.write(kRequest + qgetenv("XDG_ACTIVATION_TOKEN").left(kMaxRequest / 2) + "\n");
  });
  QObject::connect(&socket, &QLocalSocket::readyRead, [&] {
    answer += socket.readAll();
    if (answer.contains('\n')) waiting.quit();
  });
  QObject::connect(&socket, &QLocalSocket::disconnected, &waiting, &QEventLoop::quit);
  QObject::connect(&socket, &QLocalSocket::errorOccurred, &waiting, &QEventLoop::quit);
  QTimer::singleShot(kAnswerWaitMs, &waiting, &QEventLoop::quit);
  socket.connectToServer(path);
  // Events run while waiting: the window asked may even be in this process (tests).
  if (socket.state() != QLocalSocket::UnconnectedState) waiting.exec();
  return answer == kAnswer;
}

WindowBeacon::WindowBeacon(std::function<void(const QString&)> comeForward)
    : comeForward_(std::move(comeForward)) {}

WindowBeacon::~WindowBeacon() {
  if (server_ != nullptr) server_->close();  // removes the socket file
}

void WindowBeacon::Listen(const std::string& programDir) {
  path_ = WindowSocketPath(programDir);
  if (path_.isEmpty()) return;
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Whoever listened here before held the lock, which is ours now: the socket is a leftover.
  QLocalServer::removeServer(path_);
  if (!server_->listen(path_)) return;
  connect(server_, &QLocalServer::newConnection, this, [this] { Answer(); });
}

void WindowBeacon::Answer() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest) socket->abort();
        return;
      }
      const QByteArray line = socket->readLine(kMaxRequest).trimmed();
      if (!line.startsWith(kRequest.trimmed())) {
        socket->abort();
        return;
      }
      comeForward_(QString::fromUtf8(line.mid(kRequest.size())));
      socket->write(kAnswer);
      socket->disconnectFromServer();
    });
  }
}

}  // namespace zun::ui
