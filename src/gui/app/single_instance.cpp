#include "gui/app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

namespace quillet {

namespace {
constexpr char kRestoreRequest[] = "restore\n";
constexpr int kRetryPauseMs = 50;
}  // namespace

// A later start connects, writes its request and goes: a connection that says nothing within
// kClientPatienceMs is dropped, and no more than kMaxOpenClients are kept at once, so that
// connections opened and left (by a stuck or hostile program) cannot use up the descriptors.
constexpr int kClientPatienceMs = 2000;
constexpr int kMaxOpenClients = 16;
constexpr int kMaxPendingConnections = 8;

QString SingleInstance::socketPath(const QString& name) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
    return QString::fromLocal8Bit(runtime) + QLatin1Char('/') + name;
  }
  return QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::getuid());
}

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), path_(socketPath(name)) {
  server_.setMaxPendingConnections(kMaxPendingConnections);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
      if (openClients_ >= kMaxOpenClients) {
        client->abort();
        client->deleteLater();
        continue;
      }
      ++openClients_;
      connect(client, &QObject::destroyed, this, [this] { --openClients_; });
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        const bool restore = client->readAll().startsWith("restore");
        client->disconnectFromServer();  // one request per connection
        if (restore) {
          Q_EMIT restoreRequested();
        }
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      QTimer::singleShot(kClientPatienceMs, client, [client] {
        client->abort();
        client->deleteLater();
      });
    }
  });
}

SingleInstance::~SingleInstance() {
  server_.close();
  if (lockFd_ >= 0) {
    ::close(lockFd_);  // releases the lock
  }
}

bool SingleInstance::tryLock() {
  if (lockFd_ < 0) {
    const QByteArray lockPath = (path_ + QStringLiteral(".lock")).toLocal8Bit();
    lockFd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
      return false;
    }
  }
  // The lock belongs to this open file and goes with the process, however it ends.
  return ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
}

SingleInstance::Claim SingleInstance::claim(int patienceMs) {
  const QDeadlineTimer deadline(patienceMs);
  for (;;) {
    if (tryLock()) {
      listen();
      return Claim::kFirst;
    }
    if (lockFd_ < 0) {
      // No lock can be made here (the folder refuses it): the server alone guards, as well as
      // it can.
      if (askRunningInstanceToRestore(std::max(1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), 1000))))) {
        return Claim::kHandedOver;
      }
      listen();
      return Claim::kFirst;
    }
    // The holder runs, or is still starting and will listen soon.
    if (askRunningInstanceToRestore(200)) {
      return Claim::kHandedOver;
    }
    if (deadline.hasExpired()) {
      return Claim::kNoAnswer;
    }
    QThread::msleep(kRetryPauseMs);
  }
}

bool SingleInstance::askRunningInstanceToRestore(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(path_);
  if (!socket.waitForConnected(timeoutMs)) {
    return false;
  }
  socket.write(kRestoreRequest);
  socket.waitForBytesWritten(timeoutMs);
  socket.disconnectFromServer();
  return true;
}

bool SingleInstance::listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (server_.listen(path_)) {
    return true;
  }
  // The lock is ours, so a socket of that name is a leftover of an instance that died.
  QLocalServer::removeServer(path_);
  return server_.listen(path_);
}

}  // namespace quillet
