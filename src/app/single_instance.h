#pragma once
// The single-instance guard: a local server named "CQuilletApp". The first start listens; a
// second start finds it, asks it to restore its window and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace quillet {

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // The guard's socket: $XDG_RUNTIME_DIR/<name> (private to the user and the session), else
  // <temp>/<name>-<uid>.
  static QString socketPath(const QString& name);

  explicit SingleInstance(const QString& name, QObject* parent = nullptr);

  // True when another instance answered; it has been asked to restore its window.
  bool askRunningInstanceToRestore(int timeoutMs = 1000);
  // Takes the name (removing a socket left by a process that died). False when it cannot.
  bool listen();

 Q_SIGNALS:
  void restoreRequested();

 private:
  QString path_;
  QLocalServer server_;
};

}  // namespace quillet
