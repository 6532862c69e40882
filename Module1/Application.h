#pragma once

#include <QApplication>

namespace Module1 {

// The one place that catches store errors: any event handler that throws one ends the
// program through reportFatal.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace Module1
