#pragma once
// The single-instance guard: a lock file and a local server named "CQuilletApp". The first start
// takes the lock for the life of its process and listens; a later start finds the lock taken,
// asks the running one to restore its window and ends. Two starts at the same instant cannot
// both run: only one of them gets the lock, and the other waits until the first listens.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quillet {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The guard's socket: $XDG_RUNTIME_DIR/<name> (private to the user and the session), else
  // <temp>/<name>-<uid>. The lock file is the socket's path followed by ".lock".
  static QString socketPath(const QString& name);

  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;

  enum class Claim : std::uint8_t {
    kFirst,       // this process holds the guard and listens: it runs
    kHandedOver,  // another instance runs and has been asked to restore its window: end
    kNoAnswer,    // another instance holds the guard but did not answer within the patience
  };
  // Takes the guard or hands over to its holder, trying for at most `patienceMs` while the
  // holder is still starting up (it holds the lock before it listens).
  Claim claim(int patienceMs = 5000);

  // True when another instance answered; it has been asked to restore its window.
  bool askRunningInstanceToRestore(int timeoutMs = 1000);
  // Whether the server listens (false after claim() when the name could not be taken, which
  // only means a second start will not find this one).
  bool listening() const { return server_.isListening(); }
  // Connections of later starts not yet dropped (tests).
  int openClients() const { return openClients_; }

 Q_SIGNALS:
  void restoreRequested();

 private:
  bool tryLock();
  bool listen();

  QString path_;
  QLocalServer server_;
  int lockFd_ = -1;
  int openClients_ = 0;
};

}  // namespace quillet
