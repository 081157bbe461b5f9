// The bounds of one rendering: a stylesheet is a program, and one written
// to run away (recursing for ever, doubling a string until memory is gone,
// looping) must end with a message, never with a page.
#pragma once

#include <libxslt/xsltInternals.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>

namespace shell {

// What libxml2 and libxslt may allocate while one form is parsed and
// transformed, how long the transformation may run ($PAPERLENS_RENDER_SECONDS
// can only shorten it), how deep templates may recurse, and how many XPath
// steps it may take.
constexpr size_t kRenderMemory = size_t{768} << 20;
constexpr int kRenderSeconds = 30;
constexpr int kTemplateDepth = 3000;
constexpr int kTemplateVariables = 15000;
constexpr unsigned long kXPathOperations = 200000000UL;

// Counts libxml2's allocations and collects its and libxslt's error texts
// for the rendering under way; installed once, before libxml2 is used.
void installRenderHooks();

// Holds the limits for the span of one rendering on this thread: memory
// from construction, time and depth once watch() is given the
// transformation context.
class RenderLimits {
public:
    RenderLimits();
    ~RenderLimits();
    RenderLimits(const RenderLimits&) = delete;
    RenderLimits& operator=(const RenderLimits&) = delete;

    // `alsoStop` runs on the watchdog's thread when time is up, for what
    // the transformation's state cannot stop (a script).
    void watch(xsltTransformContextPtr ctxt, std::function<void()> alsoStop = nullptr);
    // Ends the time limit's watch once the transformation has returned,
    // before its context goes; the memory ceiling stays until the object
    // goes.
    void stopWatching();

    // Why the rendering was stopped, in the user's words; empty when no
    // limit was reached.
    QString exceeded() const;
    // What libxml2 and libxslt reported meanwhile.
    const QByteArray& errors() const { return errors_; }

    // The watchdog's call when time is up, on its thread.
    void stopForTime();

private:
    QByteArray errors_;
    xsltTransformContextPtr ctxt_ = nullptr;
    std::function<void()> alsoStop_;
    bool watching_ = false;
    std::atomic<bool> timedOut_{false};
};

}  // namespace shell
