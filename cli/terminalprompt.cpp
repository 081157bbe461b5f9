#include "terminalprompt.h"

#include <QFile>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
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

platform::Answer TerminalPrompt::message(const QString& text, const QString&, platform::Icon,
                                         platform::Buttons buttons) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    if (buttons == platform::Buttons::Ok) {
        return platform::Answer::Ok;
    }
    if (!onTerminal()) {
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
    if (!onTerminal()) {
        return QString();
    }
    std::fprintf(stderr, "%s ", prompt.toUtf8().constData());
    return QString::fromStdString(readLine(false));
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
    line.fill('\0');
    return text;
}
