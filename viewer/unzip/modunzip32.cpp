#include "modunzip32.h"

#include "secrets.h"

#include <cstring>

namespace {

const QString kReplaceText = QStringLiteral("을(를) 덮어 쓰시겠습니까?");
const QString kReplaceCaption = QStringLiteral("VBUnZip32 - 기존 파일 있음");
const QString kPasswordPrompt = QStringLiteral("압축 파일의 암호를 입력하십시오.");

// What each result number means, shown under the number.
QString resultMeaning(int32_t result) {
    switch (result) {
        case unzip::kMemberRefused:
            return QStringLiteral("압축 파일 밖을 가리키는 항목이나 링크는 풀지 않았습니다.");
        case unzip::kDamaged:
            return QStringLiteral("압축 파일이 손상되었습니다.");
        case unzip::kOverLimit:
            return QStringLiteral("압축을 풀면 너무 커지는 파일이라 풀지 않았습니다. "
                                  "(한도: 항목 %1개, 모두 %2MB)")
                .arg(unzip::kMaxMembers)
                .arg(unzip::kMaxTotalSize >> 20);
        case unzip::kNotAZip:
            return QStringLiteral("압축 파일이 아니거나 열 수 없습니다.");
        case unzip::kWriteFailed:
            return QStringLiteral("풀어 놓을 파일을 쓸 수 없습니다.");
        case unzip::kBadPassword:
            return QStringLiteral("암호가 없거나 틀려서 풀지 못한 항목이 있습니다.");
        default:
            return QStringLiteral("압축을 풀지 못했습니다.");
    }
}

// The names up to the first empty entry, at most 100.
QStringList namesOf(const QStringList& list) {
    QStringList names;
    for (const QString& name : list) {
        if (name.isEmpty() || names.size() == 100) {
            break;
        }
        names.append(name);
    }
    return names;
}

}  // namespace

modUnzip32::modUnzip32(platform::Prompt& prompt, const platform::Prefix& prefix)
    : prompt_(prompt), prefix_(prefix) {}

void modUnzip32::setUnzipOptions(const QString& archive, const QString& folder,
                                 const QStringList& include, const QStringList& exclude,
                                 int16_t promptToOverwrite, int16_t overwriteAlways,
                                 int16_t listOnly, int16_t keepFolders) {
    archive_ = archive;
    folder_ = folder;
    option(kPromptToOverwrite) = promptToOverwrite;
    option(kOverwriteAlways) = overwriteAlways;
    option(kListOnly) = listOnly;
    option(kKeepFolders) = keepFolders;
    option(kDisplayComment) = 0;
    include_ = namesOf(include);
    exclude_ = namesOf(exclude);
    if (!folder_.isEmpty()) {
        option(kListOnly) = 0;
    }
}

void modUnzip32::runUnzip() {
    unzip::OptionRecord record;
    int32_t* fields[] = {&record.extractOnlyNewer, &record.spaceToUnderscore,
                         &record.promptToOverwrite, &record.quiet,
                         &record.writeToStdout,    &record.testOnly,
                         &record.listOnly,         &record.freshenOnly,
                         &record.displayComment,   &record.keepFolders,
                         &record.overwriteAlways,  &record.convertLineEnds,
                         &record.verbose,          &record.ignoreCase,
                         &record.restoreSecurity};
    for (size_t i = 0; i < options_.size(); ++i) {
        *fields[i] = options_[i];
    }
    record.archive = prefix_.hostPath(archive_);
    record.folder = folder_.isEmpty() ? QString() : prefix_.hostPath(folder_);

    unzip::CallbackRecord callbacks;
    callbacks.print = [](const QString&) { return 0; };
    callbacks.replace = [this](const QString& file) { return replaceCallback(file); };
    callbacks.password = [this](char* buffer, int size, const QString&, const QString&) {
        return passwordCallback(buffer, size);
    };
    callbacks.message = [](const QString&, qint64) {};
    callbacks.service = [](const QString&, qint64) { return 0; };

    lastResult_ = unzip::singleEntryUnzip(include_, exclude_, record, callbacks);
    if (lastResult_ != 0) {
        prompt_.message(QString::number(lastResult_) + QStringLiteral("\r\n") +
                            resultMeaning(lastResult_),
                        platform::kProgramTitle, platform::Icon::None, platform::Buttons::Ok);
    }
}

int modUnzip32::replaceCallback(const QString& existingFile) {
    switch (prompt_.message(existingFile + kReplaceText, kReplaceCaption, platform::Icon::Warning,
                            platform::Buttons::YesNoCancel)) {
        case platform::Answer::Yes:
            return unzip::kReplaceYes;
        case platform::Answer::No:
            return unzip::kReplaceNo;
        default:
            return unzip::kReplaceNone;
    }
}

int modUnzip32::passwordCallback(char* buffer, int size) {
    if (passwordDeclined_ != 0) {
        return unzip::kPasswordNone;
    }
    QString entry = prompt_.input(kPasswordPrompt, platform::kProgramTitle, QString());
    if (entry.isEmpty()) {
        passwordDeclined_ = 1;
        return unzip::kPasswordNone;
    }
    QByteArray bytes = entry.toUtf8();
    platform::wipe(entry);
    std::memset(buffer, 0, static_cast<size_t>(size));
    // A password that does not fit the buffer is not handed on cut short.
    bool fits = bytes.size() < size;
    if (fits) {
        std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    platform::wipe(bytes);
    return fits ? unzip::kPasswordSupplied : unzip::kPasswordNone;
}
