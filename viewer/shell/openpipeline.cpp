#include "openpipeline.h"

#include "formrender.h"
#include "housekeeping.h"

namespace shell {

namespace {

const QString kOpenTitle = QStringLiteral("열기");
const QString kOpenFilter = QStringLiteral("발급물 (*.kvx)|*.kvx|접수증 (*.rcp)|*.rcp");
const QString kViewingFailed = QStringLiteral("보기에 실패했습니다");

}  // namespace

QString extensionOf(const QString& path) {
    QString normal = path;
    // "\" separates in path texts, "/" in the host's own paths.
    normal.replace(u'/', u'\\');
    const QString name = normal.split(u'\\').last();
    return name.split(u'.').last();
}

QString OpenPipeline::dataFolder() const {
    return shell_.prefix.applicationFolder() + QStringLiteral("\\data");
}

QString OpenPipeline::pagePath() const {
    return shell_.prefix.applicationFolder() + QStringLiteral("\\temp.html");
}

void OpenPipeline::emptyWorkspace() {
    shell_.state.SignerInfo.clear();
    (void)deleteFolderTree(dataFolder(), shell_.prefix);
    (void)deleteFileIfExists(pagePath(), shell_.prefix);
}

void OpenPipeline::mnuFileOpen() {
    emptyWorkspace();
    const QString file = shell_.chooser.chooseFile(kOpenTitle, kOpenFilter);
    if (file.isEmpty()) {
        return;
    }
    openChosen(file);
}

void OpenPipeline::openFile(const QString& file) {
    emptyWorkspace();
    openChosen(file);
}

void OpenPipeline::openChosen(const QString& file) {
    AppState& state = shell_.state;
    state.DataFolder = dataFolder() + u'\\';
    shell_.unzip.setUnzipOptions(file, dataFolder(), {QString()}, {QString()}, 1, 0, 1, 1);
    shell_.unzip.runUnzip();
    documentExtension_ = extensionOf(file);
    findFormMembers(state.DataFolder, state, shell_.prefix);
    if (documentExtension_ == QLatin1String("kvx")) {
        state.UnsealSucceeded = kFalse;
        shell_.dialog.showModal(state);
    } else {
        state.UnsealSucceeded = kTrue;
    }
    if (state.UnsealSucceeded != kFalse) {
        renderForm();
        (void)deleteFolderTree(dataFolder(), shell_.prefix);
    } else {
        state.SignerInfo.clear();
        shell_.prompt.message(kViewingFailed, platform::kProgramTitle, platform::Icon::None,
                              platform::Buttons::Ok);
    }
}

void OpenPipeline::renderForm() {
    const RenderResult result = transformForm(shell_.state, pagePath(), shell_.prefix);
    if (result.ok) {
        shell_.view.navigate(shell_.prefix.hostPath(pagePath()));
        return;
    }
    // No half page: the start page is shown and the user told what failed.
    shell_.state.SignerInfo.clear();
    shell_.view.navigate(shell_.startPage);
    shell_.prompt.message(result.message, platform::kProgramTitle, platform::Icon::Warning,
                          platform::Buttons::Ok);
}

void OpenPipeline::mnuFileClose() {
    shell_.state.SignerInfo.clear();
    (void)deleteFileIfExists(pagePath(), shell_.prefix);
    (void)deleteFolderTree(dataFolder(), shell_.prefix);
    shell_.view.navigate(shell_.startPage);
}

}  // namespace shell
