#pragma once
// Waiting on a web page from a test: run a script and wait for its answer.
// GUI thread only.

#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>
#include <optional>

namespace tavolune::testsupport {

inline QVariant evaluate(QWebEnginePage& page, const QString& script, int timeoutMs = 10'000) {
  auto result = std::make_shared<std::optional<QVariant>>();
  page.runJavaScript(script, [result](const QVariant& v) { *result = v; });
  if (!QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs)) return {};
  return result->value_or(QVariant());
}

// Waits until the script evaluates to true in the page.
inline bool waitInPage(QWebEnginePage& page, const QString& condition, int timeoutMs = 15'000) {
  return QTest::qWaitFor([&] { return evaluate(page, condition).toBool(); }, timeoutMs);
}

}  // namespace tavolune::testsupport
