#pragma once
// SIGTERM, SIGINT and SIGHUP (a session that ends, a terminal that closes, a user's kill) as a
// Qt signal on the event loop: the handler only writes the signal's number into a socket pair,
// and the event loop reads it and asks for the same shutdown as the window's Close.
#include <QObject>

class QSocketNotifier;

namespace quillet {

class ShutdownSignals : public QObject {
  Q_OBJECT

 public:
  // Installs the handlers; one instance per process.
  explicit ShutdownSignals(QObject* parent = nullptr);
  ~ShutdownSignals() override;
  bool installed() const { return notifier_ != nullptr; }

 Q_SIGNALS:
  void requested(int signal);

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace quillet
