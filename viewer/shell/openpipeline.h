// The Open and Close commands: empty the workspace, choose a sealed form,
// extract it, find its members, have an issued document unsealed, render.
#pragma once

#include "appstate.h"
#include "filechooser.h"
#include "hostpaths.h"
#include "modunzip32.h"
#include "prompt.h"

namespace shell {

// The web view as the pipeline uses it.
class WebView {
public:
    virtual ~WebView() = default;
    virtual void navigate(const QString& hostPath) = 0;
};

// The certificate dialog as the pipeline sees it: shown modally, it unseals
// the member state names in state's working folder and sets
// UnsealSucceeded when the document may be shown.
class UnsealDialog {
public:
    virtual ~UnsealDialog() = default;
    virtual void showModal(AppState& state) = 0;
    // Shows what AppState::SignerInfo tells of the shown document's signer.
    virtual void showSignerInfo(const QString& facts) { (void)facts; }
};

struct Shell {
    AppState& state;
    const platform::Prefix& prefix;
    platform::Prompt& prompt;
    platform::FileChooser& chooser;
    WebView& view;
    UnsealDialog& dialog;
    modUnzip32& unzip;
    QString startPage;  // host path of the start page that ships with the program
};

// The extension of a chosen path: its last "."-piece of its file name.
QString extensionOf(const QString& path);

class OpenPipeline {
public:
    explicit OpenPipeline(Shell shell) : shell_(shell) {}

    // File, Open.
    void mnuFileOpen();
    // Opens `file` as File, Open does when the user chooses it: the
    // workspace emptied first, then every step after the chooser.
    void openFile(const QString& file);
    // The steps after the chooser.
    void openChosen(const QString& file);
    // File, Close.
    void mnuFileClose();

    const QString& documentExtension() const { return documentExtension_; }
    QString pagePath() const;  // the rendered page, as a path text

private:
    void emptyWorkspace();
    void renderForm();
    QString dataFolder() const;

    Shell shell_;
    QString documentExtension_;
};

}  // namespace shell
