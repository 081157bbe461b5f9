#include "renderlimits.h"

#include <libxml/globals.h>
#include <libxml/xmlmemory.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace shell {

namespace {

// Bytes libxml2 holds now, the ceiling while a rendering runs (0: none),
// and whether an allocation was refused for it; per thread, since a
// rendering runs on one thread, and so without the cost of atomics on
// every allocation. Signed: blocks allocated before counting began, or on
// another thread, are freed through the counter too.
thread_local long long outstanding = 0;
thread_local long long ceiling = 0;
thread_local bool refused = false;

// The sizes come from the allocator itself, so that blocks allocated
// before counting began are freed like any other.
bool admit(size_t size) {
    const long long limit = ceiling;
    if (limit != 0 && outstanding + static_cast<long long>(size) > limit) {
        refused = true;
        return false;
    }
    return true;
}

void* countedMalloc(size_t size) {
    if (!admit(size)) {
        return nullptr;
    }
    void* p = std::malloc(size);
    if (p != nullptr) {
        outstanding += static_cast<long long>(malloc_usable_size(p));
    }
    return p;
}

void countedFree(void* p) {
    if (p != nullptr) {
        outstanding -= static_cast<long long>(malloc_usable_size(p));
        std::free(p);
    }
}

void* countedRealloc(void* p, size_t size) {
    const size_t before = p != nullptr ? malloc_usable_size(p) : 0;
    if (size > before && !admit(size - before)) {
        return nullptr;
    }
    void* q = std::realloc(p, size);
    if (q != nullptr) {
        outstanding += static_cast<long long>(malloc_usable_size(q)) - static_cast<long long>(before);
    }
    return q;
}

char* countedStrdup(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(countedMalloc(size));
    if (copy != nullptr) {
        std::memcpy(copy, text, size);
    }
    return copy;
}

// The error texts of the rendering under way; null outside one.
QByteArray* errorSink = nullptr;

void collectError(void*, const char* format, ...) {
    if (errorSink == nullptr || errorSink->size() > 4096) {
        return;
    }
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    errorSink->append(text);
}

}  // namespace

void installRenderHooks() {
    xmlMemSetup(countedFree, countedMalloc, countedRealloc, countedStrdup);
    xmlSetGenericErrorFunc(nullptr, collectError);
    xsltSetGenericErrorFunc(nullptr, collectError);
}

RenderLimits::RenderLimits() {
    refused = false;
    ceiling = std::max(1LL, outstanding + static_cast<long long>(kRenderMemory));
    errorSink = &errors_;
}

RenderLimits::~RenderLimits() {
    ceiling = 0;
    errorSink = nullptr;
    if (watchdog_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        watchdog_.join();
    }
}

void RenderLimits::watch(xsltTransformContextPtr ctxt, std::function<void()> alsoStop) {
    ctxt_ = ctxt;
    alsoStop_ = std::move(alsoStop);
    ctxt->maxTemplateDepth = kTemplateDepth;
    ctxt->maxTemplateVars = kTemplateVariables;
    if (ctxt->xpathCtxt != nullptr) {
        ctxt->xpathCtxt->opLimit = kXPathOperations;
        ctxt->xpathCtxt->opCount = 0;
    }
    watchdog_ = std::thread([this] { stopAfterTimeout(); });
}

// The time limit; $PAPERLENS_RENDER_SECONDS may only shorten it.
int renderSeconds() {
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue("PAPERLENS_RENDER_SECONDS", &ok);
    return ok && wanted >= 1 && wanted < kRenderSeconds ? wanted : kRenderSeconds;
}

void RenderLimits::stopAfterTimeout() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!done_.wait_for(lock, std::chrono::seconds(renderSeconds()),
                        [this] { return finished_; })) {
        timedOut_ = true;
        // The transformation looks at its state between instructions and
        // stops there.
        ctxt_->state = XSLT_STATE_STOPPED;
        if (alsoStop_) {
            alsoStop_();
        }
    }
}

QString RenderLimits::exceeded() const {
    if (refused) {
        return QStringLiteral("서식을 변환하는 데 드는 메모리가 한도(%1MB)를 넘었습니다.")
            .arg(kRenderMemory >> 20);
    }
    if (timedOut_) {
        return QStringLiteral("서식을 변환하는 시간이 한도(%1초)를 넘었습니다.").arg(renderSeconds());
    }
    if (ctxt_ != nullptr && ctxt_->xpathCtxt != nullptr && ctxt_->xpathCtxt->opLimit != 0 &&
        ctxt_->xpathCtxt->opCount >= ctxt_->xpathCtxt->opLimit) {
        return QStringLiteral("서식을 변환하는 계산이 한도를 넘었습니다.");
    }
    if (errors_.contains("infinite template recursion") ||
        errors_.contains("infinite variable recursion") || errors_.contains("recursion depth")) {
        return QStringLiteral("서식의 템플릿이 한도(%1단계)보다 깊이 되풀이됩니다.")
            .arg(kTemplateDepth);
    }
    return QString();
}

}  // namespace shell
