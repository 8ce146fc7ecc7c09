#pragma once
// The application: the single-instance guard, the command line, the message service and the
// device session, then the main window for the rest of the process.
#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include "core/device/transport_choice.h"
#include "core/io/messages.h"
#include "gui/app/quillet_dlg.h"
#include "gui/app/shutdown_signals.h"
#include "gui/app/single_instance.h"

namespace quillet {

class CQuilletApp : public QObject {
  Q_OBJECT

 public:
  // `args` without the program name; `backends` are the transports the program links.
  CQuilletApp(std::vector<std::string> args, TransportBackends backends, QObject* parent = nullptr);
  ~CQuilletApp() override;

  // Returns the exit code when the process should end now (help, a usage error, a second
  // instance that has handed over to the first); otherwise -1 and the window runs.
  int initInstance();
  CQuilletDlg* window() { return window_.get(); }
  // True once the window has shut down (Close, Exit Driver, a signal, the end of the session),
  // wherever that happened: in the event loop, or in a loop nested in it or in the start-up (a
  // message box, the survey form, a file or colour dialog).
  bool ended() const { return ended_; }

 private:
  std::vector<std::string> args_;
  TransportBackends backends_;
  std::unique_ptr<MessageService> messages_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<ShutdownSignals> signals_;
  std::unique_ptr<CQuilletDlg> window_;
  bool ended_ = false;
};

}  // namespace quillet
