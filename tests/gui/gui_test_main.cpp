// The GUI tests' entry point: one QApplication for every test, on Qt's
// offscreen platform unless another one is asked for, so that the tests
// need no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

namespace {

// The offscreen platform says for every dialog that it cannot pass size
// hints on; that line says nothing about the tests.
QtMessageHandler previous_handler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("propagateSizeHints")) return;
  if (previous_handler)
    previous_handler(type, context, message);
  else
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  previous_handler = qInstallMessageHandler(QuietHandler);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
