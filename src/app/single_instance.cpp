#include "app/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>

namespace quillet {

namespace {
constexpr char kRestoreRequest[] = "restore\n";
}

QString SingleInstance::socketPath(const QString& name) {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
    return QString::fromLocal8Bit(runtime) + QLatin1Char('/') + name;
  }
  return QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::getuid());
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), path_(socketPath(name)) {
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_.nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (client->readAll().startsWith("restore")) {
          Q_EMIT restoreRequested();
        }
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
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
  // Nobody answered askRunningInstanceToRestore, so the socket is a leftover.
  QLocalServer::removeServer(path_);
  return server_.listen(path_);
}

}  // namespace quillet
