#include "renderlimits.h"

#include <libxml/globals.h>
#include <libxml/xmlmemory.h>
#include <libxslt/transform.h>
#include <libxslt/xsltutils.h>

#include <malloc.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAPERLENS_HAS_ASAN 1
#endif
#endif
#ifndef PAPERLENS_HAS_ASAN
#define PAPERLENS_HAS_ASAN 0
#endif
#if defined(__SANITIZE_ADDRESS__) || PAPERLENS_HAS_ASAN
// The sanitizer's allocator keeps the heap itself (GCC ships no header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <thread>
#include <mutex>
#include <condition_variable>

namespace shell {

namespace {

// The heap the process uses now: what the allocator has handed out.
size_t heapInUse() {
#if defined(__SANITIZE_ADDRESS__) || PAPERLENS_HAS_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// The ceiling of the heap while a rendering runs on this thread (0: none),
// and whether an allocation was refused for it. Asking the allocator costs
// far more than an allocation, so it is asked for every allocation of a
// megabyte or more (a string that doubles gets there at once) and for
// every 65536th smaller one (many small nodes get there in a few
// megabytes); counting every block instead cost a tenth of a large form's
// rendering.
constexpr size_t kLargeAllocation = size_t{1} << 20;
constexpr unsigned kSmallAllocationsBetweenLooks = 65536;
thread_local size_t ceiling = 0;
thread_local unsigned smallAllocations = 0;
thread_local bool refused = false;

bool admit(size_t size) {
    if (ceiling == 0 ||
        (size < kLargeAllocation && ++smallAllocations % kSmallAllocationsBetweenLooks != 0)) {
        return true;
    }
    if (heapInUse() + size > ceiling) {
        refused = true;
        return false;
    }
    return true;
}

void* limitedMalloc(size_t size) { return admit(size) ? std::malloc(size) : nullptr; }

void* limitedRealloc(void* p, size_t size) {
    return admit(size) ? std::realloc(p, size) : nullptr;
}

char* limitedStrdup(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(limitedMalloc(size));
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
    xmlMemSetup(std::free, limitedMalloc, limitedRealloc, limitedStrdup);
    xmlSetGenericErrorFunc(nullptr, collectError);
    xsltSetGenericErrorFunc(nullptr, collectError);
}

RenderLimits::RenderLimits() {
    refused = false;
    ceiling = heapInUse() + kRenderMemory;
    errorSink = &errors_;
}

namespace {

// One thread for the process, started with its first rendering, stops the
// renderings whose time is up. Starting and joining a thread for each
// rendering cost a small one a tenth of its time, mostly waiting for the
// thread to be scheduled. It lives as long as the process and is never
// destroyed, so that no rendering's end waits for it.
class Watchdog {
public:
    static Watchdog& instance() {
        static Watchdog* watchdog = new Watchdog();
        return *watchdog;
    }

    void add(RenderLimits* limits, std::chrono::steady_clock::time_point deadline) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back({limits, deadline});
        }
        changed_.notify_one();
    }

    // Once this returns the watchdog no longer touches `limits`: it stops
    // a rendering only while it holds the lock taken here.
    void remove(RenderLimits* limits) {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.erase(std::remove_if(jobs_.begin(), jobs_.end(),
                                   [limits](const Job& job) { return job.limits == limits; }),
                    jobs_.end());
    }

private:
    struct Job {
        RenderLimits* limits;
        std::chrono::steady_clock::time_point deadline;
    };

    Watchdog() { std::thread([this] { run(); }).detach(); }

    void run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (jobs_.empty()) {
                changed_.wait(lock);
                continue;
            }
            const auto earliest = std::min_element(
                jobs_.begin(), jobs_.end(),
                [](const Job& a, const Job& b) { return a.deadline < b.deadline; });
            if (std::chrono::steady_clock::now() < earliest->deadline) {
                changed_.wait_until(lock, earliest->deadline);
                continue;
            }
            RenderLimits* expired = earliest->limits;
            jobs_.erase(earliest);
            expired->stopForTime();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Job> jobs_;
};

}  // namespace

RenderLimits::~RenderLimits() {
    stopWatching();
    ceiling = 0;
    errorSink = nullptr;
}

void RenderLimits::stopWatching() {
    if (watching_) {
        Watchdog::instance().remove(this);
        watching_ = false;
    }
}

// The time limit; $PAPERLENS_RENDER_SECONDS may only shorten it.
int renderSeconds() {
    bool ok = false;
    const int wanted = qEnvironmentVariableIntValue("PAPERLENS_RENDER_SECONDS", &ok);
    return ok && wanted >= 1 && wanted < kRenderSeconds ? wanted : kRenderSeconds;
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
    watching_ = true;
    Watchdog::instance().add(
        this, std::chrono::steady_clock::now() + std::chrono::seconds(renderSeconds()));
}

void RenderLimits::stopForTime() {
    timedOut_ = true;
    // The transformation looks at its state between instructions and stops
    // there.
    ctxt_->state = XSLT_STATE_STOPPED;
    if (alsoStop_) {
        alsoStop_();
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
