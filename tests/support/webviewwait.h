// Waiting for the web view in window tests: a page loaded, its text.
#pragma once

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace testsupport {

// Waits until the view has loaded a page, at most 30 s.
inline bool waitForLoad(QWebEngineView* view) {
    QSignalSpy spy(view, &QWebEngineView::loadFinished);
    return spy.wait(30000) && spy.first().first().toBool();
}

// The text the view shows, once the page has given it (at most 10 s).
inline QString shownText(QWebEngineView* view) {
    QString shown;
    bool done = false;
    view->page()->toPlainText([&](const QString& t) {
        shown = t;
        done = true;
    });
    for (int i = 0; i < 1000 && !done; ++i) {
        QTest::qWait(10);
    }
    return shown;
}

}  // namespace testsupport
