#include "opendocument.h"

#include "givencertificate.h"
#include "openpipeline.h"
#include "runworkspace.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

struct GivenFile : platform::FileChooser {
    QString file;
    QString chooseFile(const QString&, const QString&) override { return file; }
};

struct PageSink : shell::WebView {
    QString shown;
    void navigate(const QString& hostPath) override { shown = hostPath; }
};

}  // namespace

bool movePage(const QString& from, const QString& to) {
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        return true;
    }
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = in.readAll();
    return out.write(bytes) == bytes.size() && out.commit();
}

bool openDocument(const QString& file, const OpenSettings& settings, TerminalPrompt& prompt,
                  platform::SealkitBinding& sealkit, const QString& out,
                  const std::function<bool(const QString& page, QString& failure)>& print,
                  QString& failure) {
    RunWorkspace run(settings.preparedPrefix);
    if (!run.ok()) {
        failure = run.error();
        return false;
    }
    platform::Prefix& prefix = run.prefix();
    shell::AppState state;
    GivenFile chooser;
    chooser.file = QFileInfo(file).absoluteFilePath();
    PageSink view;
    GivenCertificate dialog(prefix, prompt, sealkit, settings.certificate, settings.password);
    modUnzip32 unzip(prompt, prefix);
    shell::OpenPipeline pipeline({state, prefix, prompt, chooser, view, dialog, unzip, QString()});
    pipeline.mnuFileOpen();
    if (prompt.unanswered()) {
        failure = QStringLiteral("the archive is encrypted; give its password with "
                                 "--zip-password-file F");
        return false;
    }
    const QString page = prefix.hostPath(pipeline.pagePath());
    if (view.shown.isEmpty() || view.shown != page || !QFileInfo::exists(page)) {
        return false;
    }
    if (print && !print(page, failure)) {
        return false;
    }
    if (!out.isEmpty() && !movePage(page, out)) {
        failure = QStringLiteral("cannot write %1").arg(out);
        return false;
    }
    return true;
}
