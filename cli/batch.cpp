// `paperlens-cli open FILE... --out-dir DIR [--pdf-dir DIR] [--jobs N]`:
// many documents in one run. Worker processes, started before anything
// else, open the documents one at a time, each in a workspace of its own,
// as `open` does; a document that crashes or exhausts its worker costs
// only itself. The pages go to DIR/<name>.html. With --pdf-dir this
// process then starts the web engine once and prints every page.
#include "commands.h"
#include "openarguments.h"
#include "opendocument.h"
#include "pdfbinding.h"
#include "privatefiles.h"
#include "secrets.h"
#include "termination.h"
#include "workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

// What a worker answers for one document: its index, whether its page was
// written, and the one line that says why not.
struct Outcome {
    int32_t index = -1;
    int32_t written = 0;
    QByteArray line;
};

bool sendOutcome(int fd, const Outcome& outcome) {
    const int32_t header[3] = {outcome.index, outcome.written,
                               static_cast<int32_t>(outcome.line.size())};
    QByteArray record(reinterpret_cast<const char*>(header), sizeof header);
    record += outcome.line;
    return platform::writeFully(fd, record.constData(), static_cast<size_t>(record.size()));
}

bool receiveOutcome(int fd, Outcome& outcome) {
    int32_t header[3] = {};
    if (!platform::readFully(fd, reinterpret_cast<char*>(header), sizeof header) || header[2] < 0 ||
        header[2] > (1 << 20)) {
        return false;
    }
    outcome.index = header[0];
    outcome.written = header[1];
    outcome.line.resize(header[2]);
    return platform::readFully(fd, outcome.line.data(), static_cast<size_t>(header[2]));
}

// A failed file's line: its name, then what was shown, on one line.
QByteArray failureLine(const QString& file, const QStringList& messages) {
    // simplified() turns every run of line ends and blanks into one blank.
    QString text = messages.join(u' ').simplified();
    if (text.isEmpty()) {
        text = QStringLiteral("the document cannot be shown");
    }
    return (file + QStringLiteral(": ") + text).toUtf8();
}

struct Batch {
    OpenArguments given;
    OpenSettings settings;
    QStringList pages;  // DIR/<name>.html, by file
};

// A worker: reads document indexes from `tasks` until it is closed, and
// answers each on `answers`.
[[noreturn]] void workerMain(int argc, char** argv, const Batch& batch, int tasks, int answers) {
    if (QCoreApplication::instance() == nullptr) {
        static QCoreApplication app(argc, argv);
    }
    QStringList messages;
    TerminalPrompt prompt(true);
    if (batch.settings.zipPassword) {
        prompt.setGivenInput(*batch.settings.zipPassword);
    }
    platform::SealkitBinding sealkit(prompt);
    int32_t index = 0;
    while (platform::readFully(tasks, reinterpret_cast<char*>(&index), sizeof index)) {
        messages.clear();
        prompt.collectMessages(&messages);
        const QString& file = batch.given.files[index];
        QString failure;
        Outcome outcome;
        outcome.index = index;
        outcome.written = openDocument(file, batch.settings, prompt, sealkit, batch.pages[index],
                                       {}, failure)
                              ? 1
                              : 0;
        if (!failure.isEmpty()) {
            messages.append(failure);
        }
        if (outcome.written == 0) {
            outcome.line = failureLine(file, messages);
        }
        if (!sendOutcome(answers, outcome)) {
            break;
        }
    }
    std::fflush(nullptr);
    ::_exit(0);
}

struct Worker {
    pid_t pid = -1;
    int tasks = -1;    // this process writes document indexes here
    int answers = -1;  // and reads the worker's outcomes here
    // The documents sent to it, in order; the first is the one it works on.
    // Two are kept in flight, so that it never waits for this process.
    std::deque<int> pending;
};

class Coordinator {
public:
    Coordinator(int argc, char** argv, Batch& batch) : argc_(argc), argv_(argv), batch_(batch) {}

    // Starts a worker; false when no process can be started.
    bool start(Worker& worker) {
        int tasks[2];
        int answers[2];
        if (::pipe2(tasks, O_CLOEXEC) != 0) {
            return false;
        }
        if (::pipe2(answers, O_CLOEXEC) != 0) {
            ::close(tasks[0]);
            ::close(tasks[1]);
            return false;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The other workers' pipes stay theirs: a worker's end of file
            // must reach this process when that worker goes.
            for (const Worker& other : workers_) {
                ::close(other.tasks);
                ::close(other.answers);
            }
            ::close(tasks[1]);
            ::close(answers[0]);
            platform::forgetTerminationSignal();
            workerMain(argc_, argv_, batch_, tasks[0], answers[1]);
        }
        ::close(tasks[0]);
        ::close(answers[1]);
        if (pid < 0) {
            ::close(tasks[1]);
            ::close(answers[0]);
            return false;
        }
        worker = {pid, tasks[1], answers[0], {}};
        return true;
    }

    // Starts the workers; false when none could be started.
    bool startWorkers(int jobs) {
        for (int i = 0; i < jobs; ++i) {
            Worker worker;
            if (!start(worker)) {
                break;
            }
            workers_.push_back(worker);
        }
        if (workers_.empty()) {
            std::fputs("paperlens-cli: cannot start a worker process\n", stderr);
            return false;
        }
        return true;
    }

    // Opens every file on the workers; returns how many failed.
    int run() {
        std::vector<pid_t> pids;
        for (const Worker& worker : workers_) {
            pids.push_back(worker.pid);
        }
        platform::onTerminationSignal([pids](int signal) {
            for (const pid_t pid : pids) {
                ::kill(pid, SIGTERM);
            }
            ::_exit(128 + signal);
        });
        for (Worker& worker : workers_) {
            dispatch(worker);
        }
        while (busy() > 0) {
            std::vector<pollfd> fds;
            for (const Worker& worker : workers_) {
                fds.push_back({!worker.pending.empty() ? worker.answers : -1, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                break;
            }
            for (size_t i = 0; i < workers_.size(); ++i) {
                if (fds[i].fd >= 0 && fds[i].revents != 0) {
                    collect(workers_[i]);
                }
            }
        }
        for (Worker& worker : workers_) {
            stop(worker);
        }
        // Workers that died and could not be started again leave files.
        for (int32_t index = nextDocument(); index >= 0; index = nextDocument()) {
            fail(index, QStringLiteral("no worker process was left to open it"));
        }
        return failed_;
    }

    const std::vector<bool>& written() const { return written_; }

private:
    int busy() const {
        int n = 0;
        for (const Worker& worker : workers_) {
            n += worker.pending.empty() ? 0 : 1;
        }
        return n;
    }

    // The next document to send: one a dead worker left, else the next file.
    int32_t nextDocument() {
        if (!retry_.empty()) {
            const int32_t index = retry_.front();
            retry_.pop_front();
            return index;
        }
        return next_ < batch_.given.files.size() ? next_++ : -1;
    }

    void dispatch(Worker& worker) {
        while (worker.pending.size() < kInFlight) {
            const int32_t index = nextDocument();
            if (index < 0) {
                return;
            }
            if (batch_.pages[index].isEmpty()) {
                fail(index, QStringLiteral("another FILE of this run has the same name; its "
                                           "page would be written over"));
            } else if (platform::writeFully(worker.tasks, reinterpret_cast<const char*>(&index),
                                sizeof index)) {
                worker.pending.push_back(index);
            } else {
                fail(index, QStringLiteral("its worker process could not take it"));
            }
        }
    }

    void collect(Worker& worker) {
        Outcome outcome;
        if (receiveOutcome(worker.answers, outcome) && outcome.index == worker.pending.front()) {
            worker.pending.pop_front();
            record(outcome);
            dispatch(worker);
            return;
        }
        // The worker ended in the middle of its first document; the others
        // sent to it go to the next worker free.
        const int index = worker.pending.front();
        retry_.insert(retry_.begin(), worker.pending.begin() + 1, worker.pending.end());
        const int status = stop(worker);
        fail(index, WIFSIGNALED(status)
                        ? QStringLiteral("the document ended its worker process (signal %1)")
                              .arg(WTERMSIG(status))
                        : QStringLiteral("the document ended its worker process"));
        if (start(worker)) {
            dispatch(worker);
        }
    }

    int stop(Worker& worker) {
        if (worker.pid < 0) {
            return 0;
        }
        ::close(worker.tasks);
        ::close(worker.answers);
        int status = 0;
        while (::waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
        }
        worker = {};
        return status;
    }

    void record(const Outcome& outcome) {
        written_[static_cast<size_t>(outcome.index)] = outcome.written != 0;
        if (outcome.written == 0) {
            ++failed_;
            std::fprintf(stderr, "%s\n", outcome.line.constData());
            std::fflush(stderr);
        }
    }

    void fail(int index, const QString& why) {
        Outcome outcome;
        outcome.index = index;
        outcome.line = failureLine(batch_.given.files[index], {why});
        record(outcome);
    }

    int argc_;
    char** argv_;
    Batch& batch_;
    static constexpr size_t kInFlight = 2;
    std::vector<Worker> workers_;
    std::deque<int32_t> retry_;
    int next_ = 0;
    int failed_ = 0;
    std::vector<bool> written_ = std::vector<bool>(static_cast<size_t>(batch_.given.files.size()));
};

// The page of each file, DIR/<name without its extension>.html; a file
// whose name another file of the run already takes gets an empty one.
QStringList pageNames(const QStringList& files, const QString& dir, const char* extension) {
    QStringList pages;
    QHash<QString, int> taken;
    for (const QString& file : files) {
        const QString page =
            QDir(dir).absoluteFilePath(QFileInfo(file).completeBaseName() + QLatin1String(extension));
        pages.append(taken.contains(page) ? QString() : page);
        taken.insert(page, 1);
    }
    return pages;
}

int printPages(const Batch& batch, const std::vector<bool>& written) {
    const QStringList pdfs = pageNames(batch.given.files, batch.given.pdfDir, ".pdf");
    std::vector<QByteArray> pageBytes;
    std::vector<QByteArray> pdfBytes;
    std::vector<int> which;
    for (int i = 0; i < batch.given.files.size(); ++i) {
        if (written[static_cast<size_t>(i)]) {
            pageBytes.push_back(QFile::encodeName(batch.pages[i]));
            pdfBytes.push_back(QFile::encodeName(pdfs[i]));
            which.push_back(i);
        }
    }
    std::vector<const char*> pages;
    std::vector<const char*> targets;
    for (size_t i = 0; i < which.size(); ++i) {
        pages.push_back(pageBytes[i].constData());
        targets.push_back(pdfBytes[i].constData());
    }
    std::vector<int> results(which.size(), 1);
    const PrintPdfs print = pdfBatchPrinter();
    // Printing waits on the engine's own processes as much as it works:
    // two pages a job keep them busy.
    const int parallel = 2 * std::max(1, batch.given.jobs);
    if (print != nullptr && !which.empty()) {
        print(pages.data(), targets.data(), static_cast<int>(which.size()), parallel,
              results.data());
    }
    int failed = 0;
    for (size_t i = 0; i < which.size(); ++i) {
        if (results[i] != 0) {
            ++failed;
            const int index = which[i];
            std::fprintf(stderr, "%s\n",
                         failureLine(batch.given.files[index],
                                     {QStringLiteral("cannot print %1").arg(pdfs[index])})
                             .constData());
        }
    }
    return failed;
}

Batch* running = nullptr;
Coordinator* coordinating = nullptr;

int runBatch(int, char**) {
    if (!running->given.pdfDir.isEmpty() && printingPreparer() != nullptr) {
        printingPreparer()();  // while the workers render the first pages
    }
    int failed = coordinating->run();
    if (!running->given.pdfDir.isEmpty()) {
        failed += printPages(*running, coordinating->written());
    }
    return failed == 0 ? 0 : 1;
}

}  // namespace

int openMany(int argc, char** argv) {
    QStringList args;
    for (int i = 2; i < argc; ++i) {
        args.append(QString::fromLocal8Bit(argv[i]));
    }
    Batch batch;
    if (const auto status = parseOpenArguments(args, batch.given)) {
        return *status;
    }
    if (!readOpenSecrets(batch.given, batch.settings)) {
        return 1;
    }
    for (const QString& dir : {batch.given.outDir, batch.given.pdfDir}) {
        // The pages are decrypted documents: a folder made for them is the
        // user's alone.
        if (!dir.isEmpty() && !platform::makePrivateFolder(dir)) {
            std::fprintf(stderr, "paperlens-cli: cannot make the folder %s\n",
                         dir.toUtf8().constData());
            return 1;
        }
    }
    batch.pages = pageNames(batch.given.files, batch.given.outDir, ".html");
    // The prefix is made and swept once here, not once a document.
    platform::Prefix prefix(platform::Prefix::defaultLocation());
    if (!prefix.ensure()) {
        std::fprintf(stderr, "paperlens-cli: cannot make the prefix in %s\n",
                     prefix.root().toUtf8().constData());
        return 1;
    }
    (void)platform::sweepWorkspaces(prefix.workspaceRoot());
    batch.settings.preparedPrefix = true;
    const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
    int jobs = batch.given.jobs > 0 ? batch.given.jobs : static_cast<int>(std::max(1L, cores));
    jobs = std::min(jobs, static_cast<int>(batch.given.files.size()));
    batch.given.jobs = jobs;
    // The workers start before any application object or web engine
    // exists in this process.
    Coordinator coordinator(argc, argv, batch);
    int status = 1;
    if (coordinator.startWorkers(jobs)) {
        running = &batch;
        coordinating = &coordinator;
        if (batch.given.pdfDir.isEmpty()) {
            status = runBatch(argc, argv);
        } else {
            // The web engine is loaded once for the run.
            const GuiMain guiMain = loadPdfModule();
            status = guiMain != nullptr ? guiMain(argc, argv, runBatch) : (coordinator.run(), 1);
        }
    }
    wipeOpenSecrets(batch.settings);
    return status;
}
