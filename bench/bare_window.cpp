// bench_bare_window PICTURE: the yardstick of the start-up benchmark, a bare Qt 6 program that
// shows one picture in a window and nothing else. Its first paint is marked as the utility marks
// its own (QUILLET_FIRST_PAINT_FD: the steady clock's nanoseconds, then the descriptor closes).
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <chrono>

namespace {

class PictureWindow : public QWidget {
 public:
  explicit PictureWindow(const QString& file) : picture_(file) {
    setFixedSize(picture_.isNull() ? QSize(320, 200) : picture_.size());
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).drawImage(QPoint(0, 0), picture_);
    if (!marked_) {
      marked_ = true;
      mark();
    }
  }

 private:
  static void mark() {
    bool ok = false;
    const int fd = qEnvironmentVariableIntValue("QUILLET_FIRST_PAINT_FD", &ok);
    if (!ok || fd < 0) {
      return;
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    QFile out;
    if (out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
      out.write(QByteArray::number(static_cast<qint64>(std::chrono::nanoseconds(now).count())) + '\n');
    }
  }

  QImage picture_;
  bool marked_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  PictureWindow window(args.size() > 1 ? args[1] : QString());
  window.show();
  return QApplication::exec();
}
