#include "terminalprompt.h"

#include "secrets.h"

#include <QFile>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool onTerminal() { return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1; }

std::string readLine(bool echo) {
    termios saved {};
    bool restore = false;
    if (!echo && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        restore = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    std::string line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
        line += static_cast<char>(c);
    }
    if (restore) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    return line;
}

}  // namespace

TerminalPrompt::TerminalPrompt(bool stdinTaken) : interactive_(!stdinTaken && onTerminal()) {}

TerminalPrompt::~TerminalPrompt() {
    if (given_) {
        platform::wipe(*given_);
    }
}

void TerminalPrompt::setGivenInput(const QString& text) { given_ = text; }

void TerminalPrompt::collectMessages(QStringList* messages) {
    collected_ = messages;
    unanswered_ = false;
    if (messages != nullptr) {
        interactive_ = false;
    }
}

platform::Answer TerminalPrompt::message(const QString& text, const QString&, platform::Icon,
                                         platform::Buttons buttons) {
    if (collected_ != nullptr) {
        collected_->append(text);
        return buttons == platform::Buttons::Ok ? platform::Answer::Ok : platform::Answer::No;
    }
    // Texts break their lines with CR LF or CR, the terminal with LF.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    std::fprintf(stderr, "%s\n", lines.toUtf8().constData());
    if (buttons == platform::Buttons::Ok) {
        return platform::Answer::Ok;
    }
    if (!interactive_) {
        return platform::Answer::No;
    }
    std::fputs("[y]es / [n]o / [c]ancel: ", stderr);
    const std::string answer = readLine(true);
    if (answer == "y" || answer == "Y") {
        return platform::Answer::Yes;
    }
    return answer == "n" || answer == "N" ? platform::Answer::No : platform::Answer::Cancel;
}

QString TerminalPrompt::input(const QString& prompt, const QString&, const QString&) {
    if (given_) {
        return *given_;
    }
    if (!interactive_) {
        unanswered_ = true;
        return QString();
    }
    std::fprintf(stderr, "%s ", prompt.toUtf8().constData());
    std::string line = readLine(false);
    QString text = QString::fromStdString(line);
    explicit_bzero(line.data(), line.size());
    return text;
}

std::optional<QString> readSecretLine(const QString& file) {
    QFile in;
    const bool opened = file.isEmpty() ? in.open(stdin, QIODevice::ReadOnly)
                                       : (in.setFileName(file), in.open(QIODevice::ReadOnly));
    if (!opened) {
        return std::nullopt;
    }
    QByteArray line = in.readLine();
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    QString text = QString::fromUtf8(line);
    platform::wipe(line);
    return text;
}
