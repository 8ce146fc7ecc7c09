#pragma once
// Sleep and resume of the system, from logind's PrepareForSleep signal on the system bus. The
// resume (PrepareForSleep(false)) is when the mouse may have lost its memory's state, and the
// window downloads the settings again.
#include <QObject>

namespace quillet {

class PowerEvents : public QObject {
  Q_OBJECT

 public:
  explicit PowerEvents(QObject* parent = nullptr);
  // False when there is no system bus or logind (the events are then never reported).
  bool connected() const { return connected_; }

 Q_SIGNALS:
  void resumed();

 private Q_SLOTS:
  void onPrepareForSleep(bool start);

 private:
  bool connected_ = false;
};

}  // namespace quillet
